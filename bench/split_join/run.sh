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
# Environment: SMALL_MIB (512), LARGE_MIB (1024), PACKWELL_BIN (default: build/bin/packwell beside this tree),
# BENCH_DIR (scratch folder, default build/bench-split-join), ROUNDS (3),
# PACKWELL_BASELINE (another packwell binary, e.g. an older build: its join
# runs in the same rounds, for before/after ratios on one machine state).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
common=$here/../common
root=$(cd "$here/../.." && pwd)
packwell=${PACKWELL_BIN:-$root/build/bin/packwell}
work=${BENCH_DIR:-$root/build/bench-split-join}
rounds=${ROUNDS:-3}
# Sizes: SMALL_MIB in 720 KiB pieces, LARGE_MIB in pieces of 100/1024 of it
# rounded down to MiB (100 MiB for 1 GiB). run-all --quick lowers them.
small=${SMALL_MIB:-512}
large=${LARGE_MIB:-1024}
large_piece_kib=$(( large * 100 / 1024 * 1024 ))
for tool in hyperfine /usr/bin/time split cat cp python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/install-deps)" >&2; exit 2; }
done
[ -x "$packwell" ] || { echo "no packwell binary at $packwell (build the packwell target)" >&2; exit 2; }

# Each round leaves one copy of every output: 3 commands a size for split,
# 2 for join, 1.5 GiB of sources, the warm-up round included.
need_kib=$(( (rounds + 1) * (5 * small + 5 * large) * 1024 + 2 * 1024 * 1024 ))
mkdir -p "$work"
free_kib=$(df -Pk "$work" | awk 'NR==2 {print $4}')
if [ "$free_kib" -lt "$need_kib" ]; then
  echo "not enough room in $work: $((free_kib / 1048576)) GiB free, $((need_kib / 1048576)) GiB needed (lower ROUNDS)" >&2
  exit 2
fi
[ ! -e "$work/run" ] || mv "$work/run" "$work/trash-run.$(date +%s%N)"
mkdir -p "$work/run/trash"
run=$work/run
export BENCH_NAME=${BENCH_NAME:-split_join}
# Deleting ~10 GiB of output makes the next file creations slow: under
# run-all (BENCH_DEFER_CLEANUP) it is only moved aside and deleted at the end.
if [ -n "${BENCH_DEFER_CLEANUP:-}" ]; then
  trap 'mv "$run" "$work/trash-run.$(date +%s%N)"' EXIT
else
  trap 'echo "cleaning up $run"; rm -rf "$run" "$work"/trash-run.*' EXIT
fi

results=$run/results.tsv
: > "$results"

# aside DIR: moves DIR out of the way and leaves an empty DIR in its place.
# stash FILE: moves FILE out of the way when it exists.
aside="$common/aside --dir $run/trash"
stash="$common/aside $run/trash"

# bench LABEL then triples of (name, prepare, command): alternating rounds
# after one warm-up round, each run's time and peak memory into $results.
bench() {
  local label=$1; shift
  python3 "$common/alternate.py" --label "$label" --rounds "$rounds" --out "$results" --work "$run" "$@"
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
  local baseline=()
  if [ -n "${PACKWELL_BASELINE:-}" ]; then
    # Its own copy of the pieces, so both joins read what was just written.
    local bl=$run/bl-$tag
    $aside "$bl" && cp "$pw"/sample.[0-9]* "$bl"/
    baseline=("baseline join" "$stash $bl/sample.bin" "$PACKWELL_BASELINE join $bl/sample.001 >/dev/null")
  fi
  bench "join-$tag" \
    "packwell join" "$stash $pw/sample.bin" \
      "$packwell join $pw/sample.001 >/dev/null" \
    "cat" "$stash $gs/joined" "cat $gs/sample.* > $gs/joined" "${baseline[@]}"
  cmp "$src" "$pw/sample.bin"
  cmp "$src" "$gs/joined"
  echo "   joined files are identical to the source"
}

one_size ${small}m "$small" 720
one_size ${large}m "$large" "$large_piece_kib"
# The largest piece: the whole file as one piece (1 GiB at the default size).
$aside "$run/pw-huge"
/usr/bin/time -v -o "$run/huge.peak" "$packwell" split "$run/src-${large}m/sample.bin" $(( large * 1024 )) "$run/pw-huge" >/dev/null
printf 'huge\tpackwell split 1 GiB piece\t0\t%s\n' \
  "$(awk -F': ' '/Maximum resident set size/ {print $2}' "$run/huge.peak")" >> "$results"

echo
python3 "$common/summary.py" table "$results"
echo
for tag in ${small}m ${large}m; do
  python3 "$common/summary.py" ratio "$results" "split-$tag" "packwell split" "split -b" 1.0 \
    "split_join: packwell split $tag <= 1x GNU split -b"
  python3 "$common/summary.py" ratio "$results" "join-$tag" "packwell join" "cat" 1.0 \
    "split_join: packwell join $tag <= 1x cat"
  if [ -n "${PACKWELL_BASELINE:-}" ]; then
    python3 "$common/summary.py" ratio "$results" "join-$tag" "baseline join" "cat" 1.0 \
      "split_join: baseline join $tag <= 1x cat"
  fi
done
python3 "$common/summary.py" ratio "$results" split-${large}m "packwell split" "cp" 1.1 \
  "split_join: packwell split ${large}m ($((large_piece_kib / 1024)) MiB pieces) <= 1.1x cp"
for c in split-${small}m/"packwell split" join-${small}m/"packwell join" split-${large}m/"packwell split" \
         join-${large}m/"packwell join" \
         huge/"packwell split 1 GiB piece"; do
  python3 "$common/summary.py" peak "$results" "${c%%/*}" "${c#*/}" 32 "split_join: peak memory ${c%%/*} < 32 MiB"
done
