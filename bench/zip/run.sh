#!/bin/sh
# Times the zip engine against Info-ZIP zip, 7z and bsdtar on one ~200 MiB
# tree of system files and prints wall-time ratios and archive sizes.
#   run.sh BUILD_DIR      (the data tree is kept in BUILD_DIR/bench-zip)
set -eu
BUILD=$(cd "${1:-build}" && pwd)
BIN=$BUILD/bin
WORK=$BUILD/bench-zip
TREE=$WORK/tree
mkdir -p "$WORK"

if [ ! -d "$TREE" ]; then
  echo "building the data tree in $TREE"
  python3 - "$TREE" <<'PY'
import os, shutil, sys
tree = sys.argv[1]
def take(src_root, budget, dest, want):
    used = 0
    for dirpath, dirs, files in os.walk(src_root):
        dirs.sort()
        for f in sorted(files):
            p = os.path.join(dirpath, f)
            if os.path.islink(p) or not os.path.isfile(p) or not want(f):
                continue
            size = os.path.getsize(p)
            if size == 0 or size > 24 << 20 or used + size > budget:
                continue
            d = os.path.join(tree, dest, os.path.relpath(dirpath, src_root))
            os.makedirs(d, exist_ok=True)
            shutil.copy2(p, os.path.join(d, f))
            used += size
    return used
a = take("/usr/include", 80 << 20, "include", lambda f: True)
b = take("/usr/share/doc", 40 << 20, "doc", lambda f: True)
c = take("/usr/lib/x86_64-linux-gnu", 80 << 20, "lib", lambda f: ".so" in f)
print("headers %.1f MiB, documentation %.1f MiB, libraries %.1f MiB" % (a / 2**20, b / 2**20, c / 2**20))
PY
fi
echo "tree: $(du -sm "$TREE" | cut -f1) MiB in $(find "$TREE" -type f | wc -l) files"

cd "$WORK"
# Old outputs are moved aside, not deleted, between runs.
prep() { echo "mkdir -p old && for f in $*; do [ -e \$f ] && mv -f \$f old/ || true; done"; }
CMDS="engine zip 7z bsdtar"
set -- \
  --prepare "$(prep out-engine.zip)" -n engine "$BIN/bench_zipengine $WORK/out-engine.zip $TREE" \
  --prepare "$(prep out-zip.zip)" -n zip "cd $TREE && zip -q -r -6 $WORK/out-zip.zip ." \
  --prepare "$(prep out-7z.zip)" -n 7z "cd $TREE && 7z a -bd -tzip -mx=5 -mmt=2 $WORK/out-7z.zip . >/dev/null" \
  --prepare "$(prep out-bsdtar.zip)" -n bsdtar "cd $TREE && bsdtar --format zip -cf $WORK/out-bsdtar.zip ."
if [ -x "$BIN/packwell" ]; then
  set -- "$@" --prepare "$(prep out-cli.zip)" -n packwell \
    "$BIN/packwell zip-folder $WORK/out-cli.zip $TREE '*.*' --keep-folder >/dev/null"
  CMDS="$CMDS packwell"
fi
hyperfine --warmup 1 --runs "${RUNS:-3}" --export-json "$WORK/times.json" "$@"

/usr/bin/time -f "%M" -o "$WORK/engine-rss.txt" "$BIN/bench_zipengine" "$WORK/out-engine-rss.zip" "$TREE"
mv -f "$WORK/out-engine-rss.zip" old/ 2>/dev/null || true

python3 - "$WORK" <<'PY'
import json, os, sys
work = sys.argv[1]
res = {r["command"]: r["mean"] for r in json.load(open(os.path.join(work, "times.json")))["results"]}
files = {"engine": "out-engine.zip", "zip": "out-zip.zip", "7z": "out-7z.zip", "bsdtar": "out-bsdtar.zip",
         "packwell": "out-cli.zip"}
base_t, base_s = res["zip"], os.path.getsize(os.path.join(work, files["zip"]))
print("\n%-10s %9s %9s %12s %9s" % ("tool", "time s", "x zip", "size bytes", "x zip"))
for name, t in res.items():
    s = os.path.getsize(os.path.join(work, files[name]))
    print("%-10s %9.2f %9.3f %12d %9.3f" % (name, t, t / base_t, s, s / base_s))
rss = int(open(os.path.join(work, "engine-rss.txt")).read().split()[-1]) / 1024
print("\nengine peak memory: %.0f MiB (goal: under 300)" % rss)
print("goal: engine time at most 0.25x zip -r, size no larger than zip -r")
PY
