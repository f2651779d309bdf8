#!/usr/bin/env bash
# How packwell's costs grow with the size of the work, in one run:
#  - listing and extracting archives of 10,000, 100,000 and 1,000,000 tiny
#    stored entries (Info-ZIP's unzip -Z1 and unzip beside them, to show how
#    the machine itself grows);
#  - zipping 1x, 2x and 4x the zip benchmark's tree of system files;
#  - splitting 1, 2 and 4 GiB into 100 MiB pieces and joining them back
#    (coreutils' split -b and cat beside them, for the page cache's share).
# Every step from one size to the next must cost at most 1.15x its share of
# the larger size, and peak memory grow no faster than the size. The sizes of
# one kind of work alternate within each round (so that a burst of load from
# other users hits all of them alike); old output of many files is moved
# aside, never deleted until the end. Writes the growth table (growth.md), its plot
# (growth.png) and the raw figures (growth-times.tsv) beside the goals.
#
#   bench/growth/run.sh [BUILD_DIR]
# Environment: BENCH_WORK (scratch, default BUILD_DIR/bench-work; archives,
# trees and split sources are kept there between runs), GROWTH_ENTRIES
# ("10000 100000 1000000"), GROWTH_TREES ("1 2 4"), GROWTH_SPLIT_MIB
# ("1024 2048 4096"), TREE_MIB (200), PIECE_KIB (102400), LIST_ROUNDS (3),
# ROUNDS (2: zipping, splitting, joining), EXTRACT_ROUNDS (1),
# GROWTH_OUT (folder for growth.md and growth.png, default BENCH_WORK/results).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
common=$here/../common
build=$(cd "${1:-$here/../../build}" && pwd)
packwell=$build/bin/packwell
work=${BENCH_WORK:-$build/bench-work}
entries=${GROWTH_ENTRIES:-10000 100000 1000000}
trees=${GROWTH_TREES:-1 2 4}
split_mib=${GROWTH_SPLIT_MIB:-1024 2048 4096}
mib=${TREE_MIB:-200}
piece_kib=${PIECE_KIB:-102400}
rounds=${ROUNDS:-2}
list_rounds=${LIST_ROUNDS:-3}
extract_rounds=${EXTRACT_ROUNDS:-1}
out=${GROWTH_OUT:-$work/results}
export BENCH_NAME=${BENCH_NAME:-growth}
for tool in hyperfine /usr/bin/time unzip python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/install-deps)" >&2; exit 2; }
done
[ -x "$packwell" ] || { echo "no packwell at $packwell (build the packwell target)" >&2; exit 2; }
# The plot needs matplotlib, which Debian installs for its own python3.
plot_py=python3
python3 -c 'import matplotlib' 2>/dev/null || plot_py=/usr/bin/python3

# Room: the split sources, the pieces of packwell and of split -b, the
# outputs of packwell join and of cat (the outputs of splitting and joining
# are a few large files, replaced each round: deleting those costs the next
# runs nothing), one extraction of each archive per command and round (4 KiB
# a tiny file).
split_total=0
for m in $split_mib; do split_total=$((split_total + m)); done
entry_total=0
for n in $entries; do entry_total=$((entry_total + n)); done
need_kib=$(( 4 * split_total * 1024 + 2 * extract_rounds * entry_total * 5 + 4 * mib * 1024 ))
mkdir -p "$work" "$out"
free_kib=$(df -Pk "$work" | awk 'NR==2 {print $4}')
if [ "$free_kib" -lt "$need_kib" ]; then
  echo "not enough room in $work: $((free_kib / 1048576)) GiB free, $((need_kib / 1048576)) GiB needed" \
       "(lower ROUNDS or the sizes)" >&2
  exit 2
fi

run=$work/growth-run
[ ! -e "$run" ] || mv "$run" "$work/trash-growth-run.$(date +%s%N)"
mkdir -p "$run/old"
times=$run/times.tsv
: > "$times"
aside="$common/aside --dir $run/old"
stash="$common/aside $run/old"
bench() {
  local label=$1 r=$2 w=$3; shift 3
  python3 "$common/alternate.py" --label "$label" --rounds "$r" --warmup "$w" --out "$times" --work "$run" "$@"
}

echo "== archives of tiny stored entries"
for n in $entries; do
  [ -f "$work/growth-$n.zip" ] || python3 "$here/makezip.py" "$work/growth-$n.zip" "$n"
done
set --
for n in $entries; do
  set -- "$@" "packwell list#$n" "" "$packwell list $work/growth-$n.zip >/dev/null" \
              "unzip -Z1#$n" "" "unzip -Z1 $work/growth-$n.zip >/dev/null"
done
echo "== listing ($list_rounds rounds after a warm-up)"
bench list "$list_rounds" 1 "$@"

# The archives are in the page cache from the listing; a warm-up pass of a
# million file creations would cost more than it steadies.
set --
for n in $entries; do
  set -- "$@" "packwell unzip#$n" "$aside $run/x-pw-$n" \
              "$packwell unzip $work/growth-$n.zip $run/x-pw-$n --folder-names >/dev/null" \
              "unzip#$n" "$aside $run/x-uz-$n" "unzip -q -o $work/growth-$n.zip -d $run/x-uz-$n"
done
echo "== extracting ($extract_rounds rounds, no warm-up)"
bench extract "$extract_rounds" 0 "$@"
for n in $entries; do
  got=$(find "$run/x-pw-$n" -type f | wc -l)
  [ "$got" = "$n" ] || echo "   WARNING: packwell unzip wrote $got files of $n"
done

tree=$work/systree-$mib
if [ ! -d "$tree" ]; then
  echo "== building the data tree in $tree"
  python3 "$common/systree.py" "$tree" "$mib"
fi
# The larger trees hold the tree several times as hard links: the same bytes
# to compress, no more disk, and one copy in the page cache for all.
set --
for k in $trees; do
  t=$work/growth-tree-$mib-x$k
  if [ ! -d "$t" ]; then
    mkdir -p "$t.part"
    for c in $(seq "$k"); do cp -al "$tree" "$t.part/c$c"; done
    mv "$t.part" "$t"
  fi
  set -- "$@" "packwell zip-folder#$k" "$stash $run/zip-$k.zip" \
              "$packwell zip-folder $run/zip-$k.zip $t '*.*' --keep-folder >/dev/null"
done
echo "== zipping ${trees// /x, }x the ${mib} MiB tree ($rounds rounds after a warm-up)"
bench zip "$rounds" 1 "$@"

for m in $split_mib; do
  src=$work/growth-split-$m.bin
  [ -f "$src" ] || { head -c "$((m * 1024 * 1024))" /dev/urandom > "$src.part" && mv "$src.part" "$src"; }
done
set --
for m in $split_mib; do
  set -- "$@" "packwell split#$m" "sh -c 'rm -rf $run/pieces-$m && mkdir $run/pieces-$m && sync'" \
              "$packwell split $work/growth-split-$m.bin $piece_kib $run/pieces-$m >/dev/null" \
              "split -b#$m" "sh -c 'rm -rf $run/std-$m && mkdir $run/std-$m && sync'" \
              "split -b ${piece_kib}K -d -a 3 $work/growth-split-$m.bin $run/std-$m/p."
done
# A warm-up round: the first gigabytes after the million-file extraction pay
# for the kernel reclaiming its caches (4 s instead of 0.5 s for 1 GiB).
echo "== splitting into $((piece_kib / 1024)) MiB pieces ($rounds rounds after a warm-up)"
bench split "$rounds" 1 "$@"
rm -rf "$run"/std-*
set --
for m in $split_mib; do
  set -- "$@" "packwell join#$m" "sh -c 'rm -f $run/pieces-$m/growth-split-$m.bin && sync'" \
              "$packwell join $run/pieces-$m/growth-split-$m.001 >/dev/null" \
              "cat#$m" "sh -c 'rm -f $run/cat-$m.bin && sync'" \
              "cat $run/pieces-$m/growth-split-$m.[0-9][0-9][0-9] > $run/cat-$m.bin"
done
echo "== joining ($rounds rounds after a warm-up)"
bench join "$rounds" 1 "$@"
for m in $split_mib; do
  cmp "$work/growth-split-$m.bin" "$run/pieces-$m/growth-split-$m.bin" || echo "   WARNING: the $m MiB join differs"
  rm -f "$run/cat-$m.bin" "$run/pieces-$m/growth-split-$m.bin"
done

echo
# The raw figures stay with the table, so that both can be made again.
cp "$times" "$out/growth-times.tsv"
"$plot_py" "$here/growth.py" "$times" "$out/growth.md" "$out/growth.png" \
  list=entries extract=entries zip="x tree" split=MiB join=MiB

mv "$run" "$work/trash-growth-run.$(date +%s%N)"
[ -n "${BENCH_DEFER_CLEANUP:-}" ] || rm -rf "$work"/trash-growth-run.*
