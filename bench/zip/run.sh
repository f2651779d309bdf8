#!/usr/bin/env bash
# packwell zip-folder against Info-ZIP zip -r -6, 7z a -tzip -mx=5 -mmt=2 and
# bsdtar --format zip, in one run on one ~200 MiB tree of system files
# (headers, documentation with its .gz files, shared libraries). Prints the
# wall-time ratios, archive sizes and peak memory, and checks the goals:
# at most 0.20x the time of zip -r, an archive no larger than zip -r's, peak
# memory under 300 MiB, and at most 0.60x the time of libdeflate-gzip -6
# (one core) on the same bytes as one tar: with two cores, 1.2x the limit
# of deflating the tree with libdeflate.
#
#   bench/zip/run.sh [BUILD_DIR]
# Environment: BENCH_WORK (scratch, default BUILD_DIR/bench-work; the tree is
# kept there between runs), TREE_MIB (200), ROUNDS (5), ENGINE=1 also times
# bench_zipengine (the engine without the control and CLI).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common/setup.sh"
# Zipping is CPU-bound on both cores and swings most with the machine's
# other load: five rounds unless ROUNDS says otherwise.
rounds=${ROUNDS:-5}
export BENCH_NAME=${BENCH_NAME:-zip}
needs hyperfine /usr/bin/time zip 7z bsdtar tar libdeflate-gzip python3

tree=$work/systree-$mib
mkdir -p "$work"
if [ ! -d "$tree" ]; then
  echo "== building the data tree in $tree"
  python3 "$common/systree.py" "$tree" "$mib"
fi
echo "== tree: $(du -sm "$tree" | cut -f1) MiB in $(find "$tree" -type f | wc -l) files"

# The same bytes as one stream, for libdeflate-gzip.
tarball=$work/systree-$mib.tar
[ -f "$tarball" ] || (cd "$tree" && tar -cf "$tarball.part" . && mv "$tarball.part" "$tarball")

run=$work/zip-run
[ ! -e "$run" ] || mv "$run" "$work/trash-zip-run.$(date +%s%N)"
mkdir -p "$run/old"
times=$run/times.tsv
# Each command's previous archive is moved aside, never deleted between runs,
# and what earlier runs wrote is flushed so no run pays another's write-back.
prep() { echo "$common/aside $run/old $run/$1"; }

set -- \
  "packwell zip-folder" "$(prep packwell.zip)" "$bin/packwell zip-folder $run/packwell.zip $tree '*.*' --keep-folder >/dev/null" \
  "zip -r -6" "$(prep zip.zip)" "cd $tree && zip -q -r -6 $run/zip.zip ." \
  "7z -mx=5 -mmt=2" "$(prep 7z.zip)" "cd $tree && 7z a -bd -tzip -mx=5 -mmt=2 $run/7z.zip . >/dev/null" \
  "bsdtar --format zip" "$(prep bsdtar.zip)" "cd $tree && bsdtar --format zip -cf $run/bsdtar.zip ." \
  "libdeflate-gzip -6" "$(prep tar.gz)" "libdeflate-gzip -6 -c $tarball > $run/tar.gz"
if [ "${ENGINE:-0}" = 1 ] && [ -x "$bin/bench_zipengine" ]; then
  set -- "$@" "engine alone" "$(prep engine.zip)" "$bin/bench_zipengine $run/engine.zip $tree"
fi
echo "== zipping ($rounds rounds after a warm-up, commands alternating)"
python3 "$common/alternate.py" --label zip --rounds "$rounds" --out "$times" --work "$run" "$@"

unzip -tq "$run/packwell.zip" >/dev/null && echo "   packwell's archive tests OK with unzip -t"
n_pw=$(unzip -Z1 "$run/packwell.zip" | grep -vc '/$' || true)
n_zip=$(unzip -Z1 "$run/zip.zip" | grep -vc '/$' || true)
[ "$n_pw" = "$n_zip" ] || echo "   WARNING: packwell stored $n_pw files, zip -r $n_zip"

echo
python3 "$common/summary.py" table "$times"
echo
printf '  %-22s %14s %8s\n' archive bytes "x zip"
zbytes=$(stat -c %s "$run/zip.zip")
for f in packwell zip 7z bsdtar engine; do
  [ -e "$run/$f.zip" ] || continue
  b=$(stat -c %s "$run/$f.zip")
  printf '  %-22s %14d %8.4f\n' "$f.zip" "$b" "$(python3 -c "print($b / $zbytes)")"
done
echo
python3 "$common/summary.py" ratio "$times" zip "packwell zip-folder" "zip -r -6" 0.20 \
  "zip: packwell zip-folder time <= 0.20x zip -r -6"
python3 "$common/summary.py" ratio "$times" zip "packwell zip-folder" "libdeflate-gzip -6" 0.60 \
  "zip: packwell zip-folder time <= 0.60x libdeflate-gzip -6 (one core) of the tree as one tar"
for peer in "7z -mx=5 -mmt=2" "bsdtar --format zip"; do
  python3 "$common/summary.py" ratio "$times" zip "packwell zip-folder" "$peer" 0.25 \
    "zip: packwell zip-folder time <= 0.25x $peer"
done
python3 "$common/summary.py" value "$(python3 -c "print($(stat -c %s "$run/packwell.zip") / $zbytes)")" 1.0 x \
  "zip: archive size <= zip -r's"
python3 "$common/summary.py" peak "$times" zip "packwell zip-folder" 300 "zip: packwell zip-folder peak memory < 300 MiB"

# Everything is measured: now the output may go.
# (run-all sets BENCH_DEFER_CLEANUP and deletes everything at its very end, so
# that the next benchmark does not pay for this one's mass deletion.)
mv "$run" "$work/trash-zip-run.$(date +%s%N)"
[ -n "${BENCH_DEFER_CLEANUP:-}" ] || rm -rf "$work"/trash-zip-run.*
