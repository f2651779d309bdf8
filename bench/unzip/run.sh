#!/usr/bin/env bash
# Unzip benchmark: listing a 100,000-entry archive and extracting a ~205 MiB
# tree, against Info-ZIP unzip, 7z and bsdtar, in one run, printing ratios.
#   bench/unzip/run.sh [BIN_DIR]   (default: build/bin)
# Goals: listing <= 0.5x `unzip -l`, extraction <= 0.35x `unzip`, peak memory
# under 300 MiB.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-build/bin}" && pwd)
work=${UZBENCH_DIR:-/tmp/packwell-uzbench}
runs=${UZBENCH_RUNS:-5}
py=$(command -v /usr/bin/python3 || command -v python3)
mkdir -p "$work"
cd "$work"

if [ ! -f many.zip ]; then
  echo "making many.zip (100,000 entries)"
  "$py" "$here/maketree.py" many many.zip.part && mv many.zip.part many.zip
fi
if [ ! -f tree.zip ]; then
  echo "making the ~205 MiB tree and its Info-ZIP archive"
  rm -rf tree && mkdir tree && "$py" "$here/maketree.py" tree tree
  zip -q -r tree.zip.part tree && mv tree.zip.part tree.zip
fi

packwell=""
[ -x "$bin/packwell" ] && packwell="$bin/packwell"

ratios() {  # ratios of each command's mean to the reference command's
  "$py" - "$1" "$2" <<'PY'
import json, sys
res = json.load(open(sys.argv[1]))['results']
ref = next(r for r in res if r['command'] == sys.argv[2])
for r in res:
    print('  %-58s %8.3f s  %5.2fx of %s' % (r['command'][:58], r['mean'], r['mean'] / ref['mean'], sys.argv[2].split()[0] + ' ' + sys.argv[2].split()[1]))
PY
}

echo "== listing 100,000 entries"
cmds=("unzip -l many.zip" "unzip -Z1 many.zip" "7z l many.zip" "bsdtar -tvf many.zip" "$bin/uzdrive list many.zip")
[ -n "$packwell" ] && cmds+=("$packwell list many.zip")
hyperfine -N --warmup 2 --runs "$runs" --export-json list.json --output=null "${cmds[@]}" >/dev/null
ratios list.json "unzip -l many.zip"

echo "== extracting the tree ($(du -sh tree | cut -f1), $(find tree -type f | wc -l) files)"
# Old output is moved aside (not deleted) between runs, then removed at the end.
prep='for d in o-unzip o-7z o-bsdtar o-engine o-packwell; do [ -e $d ] && mv $d old/$d.$RANDOM$RANDOM; done; mkdir -p o-bsdtar; true'
mkdir -p old
cmds=("unzip -q -o tree.zip -d o-unzip" "7z x -y -oo-7z tree.zip" "bsdtar -xf tree.zip -C o-bsdtar"
      "$bin/uzdrive x tree.zip o-engine")
[ -n "$packwell" ] && cmds+=("$packwell unzip tree.zip o-packwell --folder-names")
hyperfine --warmup 1 --runs "$runs" --prepare "$prep" --export-json extract.json --output=null "${cmds[@]}" >/dev/null
ratios extract.json "unzip -q -o tree.zip -d o-unzip"
diff -r tree o-engine/tree >/dev/null && echo "  engine output identical to the tree" || echo "  ENGINE OUTPUT DIFFERS"

echo "== peak memory"
for c in "$bin/uzdrive x tree.zip o-mem" ${packwell:+"$packwell unzip tree.zip o-mem2 --folder-names"}; do
  /usr/bin/time -f "  %M KiB  $c" $c >/dev/null
done 2>&1 | grep KiB
rm -rf old o-mem o-mem2
