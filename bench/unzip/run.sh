#!/usr/bin/env bash
# Unzip benchmark, in one run, printing ratios:
#  - listing: `packwell list` against `unzip -l` on a 100,000-entry archive
#    (goals: at most 0.5x unzip -l's wall time, at most unzip -Z1's, which
#    prints the names only, and a peak under 24 MiB);
#  - extraction: `packwell unzip --folder-names` against Info-ZIP unzip,
#    `7z x` and `bsdtar -x` on an Info-ZIP archive (zip -r -6) of the zip
#    benchmark's ~200 MiB system tree (goal: at most 0.35x unzip's wall time,
#    peak memory under 300 MiB).
#
#   bench/unzip/run.sh [BUILD_DIR]
# Environment: BENCH_WORK (scratch, default BUILD_DIR/bench-work; inputs are
# kept there between runs), TREE_MIB (200), ROUNDS (5 for listing, 3 for
# extraction: LIST_ROUNDS, ROUNDS). uzdrive (the engine alone) is timed too
# when ENGINE=1.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common/setup.sh"
list_rounds=${LIST_ROUNDS:-5}
export BENCH_NAME=${BENCH_NAME:-unzip}
needs hyperfine /usr/bin/time zip unzip 7z bsdtar python3

mkdir -p "$work"
many=$work/many-100000.zip
if [ ! -f "$many" ]; then
  echo "== making $many (100,000 entries)"
  python3 "$here/maketree.py" many "$many.part" && mv "$many.part" "$many"
fi
tree=$work/systree-$mib
if [ ! -d "$tree" ]; then
  echo "== building the data tree in $tree"
  python3 "$common/systree.py" "$tree" "$mib"
fi
treezip=$work/systree-$mib.zip
if [ ! -f "$treezip" ]; then
  echo "== zipping the tree with zip -r -6"
  (cd "$tree" && zip -q -r -6 "$treezip.part" . ) && mv "$treezip.part" "$treezip"
fi

run=$work/unzip-run
[ ! -e "$run" ] || mv "$run" "$work/trash-unzip-run.$(date +%s%N)"
mkdir -p "$run/old"
times=$run/times.tsv

echo "== listing 100,000 entries ($list_rounds rounds after a warm-up, commands alternating)"
set -- \
  "packwell list" "" "$packwell list $many >/dev/null" \
  "unzip -l" "" "unzip -l $many >/dev/null" \
  "unzip -Z1" "" "unzip -Z1 $many >/dev/null" \
  "7z l" "" "7z l $many >/dev/null" \
  "bsdtar -tvf" "" "bsdtar -tvf $many >/dev/null"
if [ "${ENGINE:-0}" = 1 ] && [ -x "$bin/uzdrive" ]; then
  set -- "$@" "engine list" "" "$bin/uzdrive list $many >/dev/null"
fi
python3 "$common/alternate.py" --label list --rounds "$list_rounds" --out "$times" --work "$run" "$@"
[ "$("$packwell" list "$many" | wc -l)" = 100000 ] || echo "   WARNING: packwell list did not print 100,000 lines"

echo "== extracting $(du -sm "$tree" | cut -f1) MiB in $(find "$tree" -type f | wc -l) files ($rounds rounds after a warm-up)"
# Each command's previous output folder is moved aside (not deleted) and
# flushed; a fresh empty folder is the target.
prep() { echo "$common/aside --dir $run/old $run/$1"; }
set -- \
  "packwell unzip" "$(prep o-packwell)" "$packwell unzip $treezip $run/o-packwell --folder-names" \
  "unzip" "$(prep o-unzip)" "unzip -q -o $treezip -d $run/o-unzip" \
  "7z x" "$(prep o-7z)" "7z x -y -o$run/o-7z $treezip >/dev/null" \
  "bsdtar -x" "$(prep o-bsdtar)" "bsdtar -xf $treezip -C $run/o-bsdtar"
if [ "${ENGINE:-0}" = 1 ] && [ -x "$bin/uzdrive" ]; then
  set -- "$@" "engine extract" "$(prep o-engine)" "$bin/uzdrive x $treezip $run/o-engine"
fi
python3 "$common/alternate.py" --label extract --rounds "$rounds" --out "$times" --work "$run" "$@"
if diff -r "$tree" "$run/o-packwell" >/dev/null; then
  echo "   packwell's output is identical to the tree"
else
  echo "   WARNING: packwell's output differs from the tree"
fi

echo
python3 "$common/summary.py" table "$times"
echo
python3 "$common/summary.py" ratio "$times" list "packwell list" "unzip -l" 0.5 \
  "unzip: packwell list (100,000 entries) <= 0.5x unzip -l"
python3 "$common/summary.py" ratio "$times" list "packwell list" "unzip -Z1" 1.0 \
  "unzip: packwell list (100,000 entries) <= 1.0x unzip -Z1 (names only)"
python3 "$common/summary.py" ratio "$times" extract "packwell unzip" "unzip" 0.35 \
  "unzip: packwell unzip --folder-names <= 0.35x unzip"
for peer in "7z x" "bsdtar -x"; do
  python3 "$common/summary.py" ratio "$times" extract "packwell unzip" "$peer" 1.0 \
    "unzip: packwell unzip --folder-names vs $peer (ahead: < 1x)"
done
python3 "$common/summary.py" peak "$times" extract "packwell unzip" 300 \
  "unzip: packwell unzip peak memory < 300 MiB"
python3 "$common/summary.py" peak "$times" list "packwell list" 24 \
  "unzip: packwell list (100,000 entries) peak memory < 24 MiB"

mv "$run" "$work/trash-unzip-run.$(date +%s%N)"
[ -n "${BENCH_DEFER_CLEANUP:-}" ] || rm -rf "$work"/trash-unzip-run.*
