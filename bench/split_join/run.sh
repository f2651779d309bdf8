#!/usr/bin/env bash
# packwell split/join against GNU split -b, cat and cp, in one run on the
# same files:
#   512 MiB in 720 KiB pieces (729 pieces) and 1 GiB in 100 MiB pieces (11).
# Commands alternate round by round (one hyperfine run of each per round,
# after one unrecorded warm-up round); old output is moved aside before each
# run, never deleted until the end, because deleting many files makes the
# next file creations slow for a while on these machines. Prints median
# times, the ratios and each command's peak resident memory
# (/usr/bin/time -v).
#
# Environment: PACKWELL_BIN (default: build/bin/packwell beside this tree),
# BENCH_DIR (scratch folder, default build/bench-split-join), ROUNDS (3).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
packwell=${PACKWELL_BIN:-$root/build/bin/packwell}
work=${BENCH_DIR:-$root/build/bench-split-join}
rounds=${ROUNDS:-3}
for tool in hyperfine /usr/bin/time split cat cp python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/install-deps)" >&2; exit 2; }
done
[ -x "$packwell" ] || { echo "no packwell binary at $packwell (build the packwell target)" >&2; exit 2; }

# Each round leaves one copy of every output: 3 commands a size for split,
# 2 for join, 1.5 GiB of sources, the warm-up round included.
need_kib=$(( (rounds + 1) * (5 * 512 + 5 * 1024) * 1024 + 2 * 1024 * 1024 ))
mkdir -p "$work"
free_kib=$(df -Pk "$work" | awk 'NR==2 {print $4}')
if [ "$free_kib" -lt "$need_kib" ]; then
  echo "not enough room in $work: $((free_kib / 1048576)) GiB free, $((need_kib / 1048576)) GiB needed (lower ROUNDS)" >&2
  exit 2
fi
rm -rf "$work"/run
mkdir -p "$work/run/trash"
run=$work/run
trap 'echo "cleaning up $run"; rm -rf "$run"' EXIT

results=$run/results.tsv
: > "$results"

# aside DIR: moves DIR out of the way and leaves an empty DIR in its place.
# stash FILE: moves FILE out of the way when it exists.
# Both then flush what earlier runs wrote, so that no run pays for the
# write-back of another (the page cache's dirty limit would otherwise make
# later runs wait for the disk).
cat > "$run/aside" <<SH
#!/bin/sh
[ ! -e "\$1" ] || mv "\$1" "$run/trash/\$(basename "\$1").\$(date +%s%N)"
mkdir -p "\$1"
sync
SH
cat > "$run/stash" <<SH
#!/bin/sh
[ ! -e "\$1" ] || mv "\$1" "$run/trash/\$(basename "\$1").\$(date +%s%N)"
sync
SH
chmod +x "$run/aside" "$run/stash"
aside=$run/aside
stash=$run/stash

# bench LABEL ROUNDS then pairs of (name, prepare, command).
bench() {
  local label=$1; shift
  local -a names=() preps=() cmds=()
  while [ $# -gt 0 ]; do names+=("$1"); preps+=("$2"); cmds+=("$3"); shift 3; done
  local r i
  for ((r = 0; r <= rounds; r++)); do
    for i in "${!names[@]}"; do
      local json=$run/$label.$i.$r.json
      hyperfine --style none --runs 1 --prepare "${preps[$i]}" \
        --export-json "$json" -n "${names[$i]}" "${cmds[$i]}" >/dev/null
      # Round 0 only warms the caches.
      if [ "$r" -gt 0 ]; then
        python3 -c 'import json,sys; print(sys.argv[1], sys.argv[2], json.load(open(sys.argv[3]))["results"][0]["times"][0], sep="\t")' \
          "$label" "${names[$i]}" "$json" >> "$results"
      fi
    done
  done
}

# peak NAME PREPARE COMMAND: peak resident memory of one run, in KiB.
peak() {
  bash -c "$2"
  local out
  out=$( { /usr/bin/time -v bash -c "$3" >/dev/null; } 2>&1 | awk -F': ' '/Maximum resident set size/ {print $2}')
  printf 'peak\t%s\t%s\n' "$1" "$out" >> "$results"
}

make_source() {
  local file=$1 mib=$2
  echo "== generating $file ($mib MiB)"
  head -c "$((mib * 1024 * 1024))" /dev/urandom > "$file"
}

one_size() {
  local tag=$1 mib=$2 kib=$3
  local src=$run/src-$tag/sample.bin
  mkdir -p "$run/src-$tag"
  make_source "$src" "$mib"
  local pw=$run/pw-$tag gs=$run/gs-$tag cpd=$run/cp-$tag
  echo "== split $tag: $mib MiB in $kib KiB pieces ($rounds rounds + warm-up)"
  bench "split-$tag" \
    "packwell split" "$aside $pw" "$packwell split $src $kib $pw" \
    "split -b" "$aside $gs" "split -a 3 -d -b ${kib}K $src $gs/sample." \
    "cp" "$aside $cpd" "cp $src $cpd/sample.bin"
  # Piece sets for the joins: the last round's output is still in place.
  ls "$pw" | grep -c '^sample\.[0-9]' | sed "s/^/   packwell pieces: /"
  echo "== join $tag"
  bench "join-$tag" \
    "packwell join" "$stash $pw/sample.bin" \
      "$packwell join $pw/sample.001 >/dev/null" \
    "cat" "$stash $gs/joined" "cat $gs/sample.* > $gs/joined"
  cmp "$src" "$pw/sample.bin"
  cmp "$src" "$gs/joined"
  echo "   joined files are identical to the source"
  echo "== peak memory $tag"
  peak "packwell split $tag" "$aside $pw" "$packwell split $src $kib $pw"
  peak "split -b $tag" "$aside $gs" "split -a 3 -d -b ${kib}K $src $gs/sample."
  peak "cp $tag" "$aside $cpd" "cp $src $cpd/sample.bin"
  peak "packwell join $tag" "$stash $pw/sample.bin" "$packwell join $pw/sample.001"
  peak "cat $tag" "$stash $gs/joined" "cat $gs/sample.* > $gs/joined"
}

one_size 512m 512 720
one_size 1g 1024 102400
# The largest piece the header allows a 1 GiB file: one piece of 1 GiB.
peak "packwell split 1g in one 1 GiB piece" "$aside $run/pw-huge" "$packwell split $run/src-1g/sample.bin 1048576 $run/pw-huge"

python3 - "$results" <<'PY'
import sys, statistics, collections
times = collections.defaultdict(list)
peaks = {}
for line in open(sys.argv[1]):
    a, b, c = line.rstrip("\n").split("\t")
    if a == "peak":
        peaks[b] = int(c)
    else:
        times[(a, b)].append(float(c))
med = {k: statistics.median(v) for k, v in times.items()}
print()
print("%-10s %-16s %10s %10s %10s" % ("case", "command", "median s", "min s", "max s"))
for (case, cmd), v in sorted(times.items()):
    print("%-10s %-16s %10.3f %10.3f %10.3f" % (case, cmd, med[(case, cmd)], min(v), max(v)))
print()
# Medians, and the best runs as well: on a busy shared machine the fastest
# run of each command is the one least disturbed by others.
def ratio(case, a, b, goal):
    r = med[(case, a)] / med[(case, b)]
    best = min(times[(case, a)]) / min(times[(case, b)])
    print("%-10s %-16s / %-10s = %5.2fx median, %5.2fx best  (goal <= %.2fx: %s)"
          % (case, a, b, r, best, goal, "met" if r <= goal else "NOT met"))
for tag in ("512m", "1g"):
    ratio("split-" + tag, "packwell split", "split -b", 1.0)
    if tag == "1g":
        ratio("split-" + tag, "packwell split", "cp", 1.1)
    else:
        c = "split-" + tag
        print("%-10s %-16s / %-10s = %5.2fx median, %5.2fx best" % (c, "packwell split", "cp",
              med[(c, "packwell split")] / med[(c, "cp")], min(times[(c, "packwell split")]) / min(times[(c, "cp")])))
    ratio("join-" + tag, "packwell join", "cat", 1.0)
print()
print("peak resident memory (goal for packwell: < 32 MiB)")
for name, kib in peaks.items():
    print("  %-40s %8.1f MiB" % (name, kib / 1024))
PY
