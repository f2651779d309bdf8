#!/bin/sh
# Remakes every picture of docs/screenshots from the real windows, on a
# virtual X server with the twm window manager so that title bars show
# (packages xvfb, xauth, twm and xfonts-base; scripts/install-deps has them).
#   docs/screenshots/take.sh [OUTDIR]      (default: docs/screenshots)
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$(mkdir -p "${1:-$here}" && cd "${1:-$here}" && pwd)
build=${PACKWELL_BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target packwell_screenshots >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  twm -f '$here/twmrc' >/dev/null 2>&1 &
  wm=\$!
  sleep 2
  LANG=C.UTF-8 QT_QPA_PLATFORM=xcb '$build/bin/packwell_screenshots' '$out'
  rc=\$?
  kill \$wm 2>/dev/null
  exit \$rc"
