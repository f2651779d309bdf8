#!/usr/bin/env bash
# Unzip benchmark of the compression methods beyond deflate, in one run,
# printing ratios: `packwell unzip --folder-names` against `7z x` and
# `bsdtar -x` on the same archive of the benchmark tree, once compressed with
# LZMA (7z -mm=LZMA), once with XZ (7z -mm=XZ) and once with Zstandard (each
# file by zstd -9, zipped as method 93 by tests/unzipengine/rawzip.py).
# Goal: at most 0.8x 7-Zip's wall time for each method.
#
#   bench/unzip/methods.sh [BUILD_DIR]
# Environment: BENCH_WORK (scratch, default BUILD_DIR/bench-work; inputs are
# kept there between runs), TREE_MIB (200), ROUNDS (3).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rawzip=$here/../../tests/unzipengine/rawzip.py
. "$here/../common/setup.sh"
export BENCH_NAME=${BENCH_NAME:-unzip_methods}
needs hyperfine /usr/bin/time 7z bsdtar zstd python3

mkdir -p "$work"
tree=$work/systree-$mib
if [ ! -d "$tree" ]; then
  echo "== building the data tree in $tree"
  python3 "$common/systree.py" "$tree" "$mib"
fi
for m in LZMA XZ; do
  z=$work/systree-$mib-$m.zip
  if [ ! -f "$z" ]; then
    echo "== zipping the tree with 7z -mm=$m"
    (cd "$tree" && 7z a -tzip -mm=$m "$z.part.zip" . >/dev/null) && mv "$z.part.zip" "$z"
  fi
done
zz=$work/systree-$mib-Zstd.zip
if [ ! -f "$zz" ]; then
  echo "== zipping the tree with zstd -9, file by file"
  packed=$work/systree-$mib-zst.part
  rm -rf "$packed"
  (cd "$tree" && find . -type f -print0 | while IFS= read -r -d '' f; do
    mkdir -p "$packed/$(dirname "$f")"
    zstd -q -9 "$f" -o "$packed/$f.zst"
  done)
  python3 "$rawzip" "$zz.part" 93 --tree "$tree" "$packed" .zst && mv "$zz.part" "$zz"
  rm -rf "$packed"
fi

run=$work/methods-run
[ ! -e "$run" ] || mv "$run" "$work/trash-methods-run.$(date +%s%N)"
mkdir -p "$run/old"
times=$run/times.tsv
# Each command's previous output folder is moved aside (not deleted) and
# flushed; a fresh empty folder is the target.
prep() { echo "sh -c '[ ! -e $run/$1 ] || mv $run/$1 $run/old/$1.\$(date +%s%N); mkdir $run/$1; sync'"; }
# libarchive cannot read every entry 7-Zip writes (some LZMA streams end in
# "lzma unknown error 10"): bsdtar is tried once on each archive and left out
# of that method's runs, with its message, where it fails.
bsdtar_reads=""
for m in LZMA XZ Zstd; do
  z=$work/systree-$mib-$m.zip
  echo "== extracting $(du -sm "$z" | cut -f1) MiB of $m archive ($rounds rounds after a warm-up)"
  set -- \
    "packwell unzip" "$(prep o-packwell-$m)" "$packwell unzip $z $run/o-packwell-$m --folder-names" \
    "7z x" "$(prep o-7z-$m)" "7z x -y -o$run/o-7z-$m $z >/dev/null"
  mkdir -p "$run/try-bsdtar-$m"
  if why=$(bsdtar -xf "$z" -C "$run/try-bsdtar-$m" 2>&1); then
    set -- "$@" "bsdtar -x" "$(prep o-bsdtar-$m)" "bsdtar -xf $z -C $run/o-bsdtar-$m"
    bsdtar_reads="$bsdtar_reads $m"
  else
    echo "   bsdtar -x cannot extract this archive, left out: $(echo "$why" | head -1)"
  fi
  python3 "$common/alternate.py" --label "$m" --rounds "$rounds" --out "$times" --work "$run" "$@"
  if diff -r "$tree" "$run/o-packwell-$m" >/dev/null; then
    echo "   packwell's output is identical to the tree"
  else
    echo "   WARNING: packwell's output differs from the tree"
  fi
done

echo
python3 "$common/summary.py" table "$times"
echo
for m in LZMA XZ Zstd; do
  python3 "$common/summary.py" ratio "$times" "$m" "packwell unzip" "7z x" 0.8 \
    "unzip_methods: packwell unzip of a $m archive <= 0.8x 7z x"
  [[ " $bsdtar_reads " == *" $m "* ]] || continue
  python3 "$common/summary.py" ratio "$times" "$m" "packwell unzip" "bsdtar -x" 1.0 \
    "unzip_methods: packwell unzip of a $m archive vs bsdtar -x (ahead: < 1x)"
done

mv "$run" "$work/trash-methods-run.$(date +%s%N)"
[ -n "${BENCH_DEFER_CLEANUP:-}" ] || rm -rf "$work"/trash-methods-run.*
