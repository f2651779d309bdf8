#!/bin/sh
# Retakes the screenshots of the desktop layer's windows on a virtual X
# server with a simple window manager (packages xvfb, twm and xfonts-base):
#   cmake --build build --target desktop_screenshots && docs/screenshots/take.sh
set -e
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin/desktop_screenshots}
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "LANG=C LC_ALL=C twm -f '$here/twmrc' >/dev/null 2>&1 & sleep 2; QT_QPA_PLATFORM=xcb '$bin' '$here'"
