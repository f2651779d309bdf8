#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds the example host against the
# installed package (CMake package and pkg-config both) and runs it.
set -euo pipefail
build=$1 source=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch/work"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S "$source/examples/host" -B "$scratch/host" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/host" >/dev/null
# Nothing of the build tree may be needed: the engines are found beside the
# installed control library.
env -u PACKWELL_ENGINE_DIR "$scratch/host/packwell_host" "$scratch/work"
PKG_CONFIG_PATH="$scratch/prefix/lib/pkgconfig:$scratch/prefix/lib/x86_64-linux-gnu/pkgconfig" \
  pkg-config --cflags --libs packwell >/dev/null
test -x "$scratch/prefix/bin/packwell"
echo "install ok"
