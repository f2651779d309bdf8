#!/usr/bin/env bash
# A `packwell browse` process holds one copy of the core: of the files it has
# mapped (the program and our libraries), exactly one defines the core's
# platform(). And without packwell-browse beside it, browse fails plainly.
set -euo pipefail
bin=$1 scratch=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$scratch" && mkdir -p "$scratch"
printf 'hello\n' >"$scratch/a.txt"
"$bin/packwell" zip "$scratch/a.zip" "$scratch/a.txt" >/dev/null

QT_QPA_PLATFORM=offscreen "$bin/packwell" browse "$scratch/a.zip" >"$scratch/browse.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
for _ in $(seq 200); do
  grep -q libPackwellDEMO "/proc/$pid/maps" 2>/dev/null && break
  kill -0 $pid 2>/dev/null || fail "browse ended early: $(cat "$scratch/browse.log")"
  sleep 0.1
done
grep -q libPackwellDEMO "/proc/$pid/maps" || fail "the browser never loaded the control library"
files=$( (readlink "/proc/$pid/exe"; awk '$6 ~ /\// { print $6 }' "/proc/$pid/maps") | grep -F "$(dirname "$bin")/" | sort -u)
cores=0
for f in $files; do
  nm -C "$f" 2>/dev/null | grep -E ' [Tt] pw::platform\(\)$' >/dev/null && cores=$((cores + 1))
done
[ "$cores" -eq 1 ] || fail "$cores copies of the core in the browse process: $(tr '\n' ' ' <<<"$files")"
kill $pid

mkdir -p "$scratch/alone"
cp "$bin/packwell" "$scratch/alone/"
if QT_QPA_PLATFORM=offscreen "$scratch/alone/packwell" browse "$scratch/a.zip" 2>"$scratch/alone.log"; then
  fail "browse without packwell-browse succeeded"
fi
grep -q 'packwell-browse is not installed' "$scratch/alone.log" || fail "browse alone: $(cat "$scratch/alone.log")"
echo "one core ok"
