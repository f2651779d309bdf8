#!/usr/bin/env bash
# Builds the Debian packages from the build, checks what each holds and that
# lintian finds no error, unpacks them into a scratch root (dpkg-deb -x, no
# installation), builds the example host against that root (CMake package and
# pkg-config both) and runs it and packwell from there.
set -euo pipefail
build=$1 source=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch/work" "$scratch/root"
fail() { echo "FAIL: $*" >&2; exit 1; }
# Nothing of the build tree may be needed: the engines are found from the
# unpacked control library and programs alone.
unset PACKWELL_ENGINE_DIR

PACKWELL_PACKAGE_NO_BUILD=1 PACKWELL_BUILD_DIR=$build PACKWELL_PACKAGE_DIR=$scratch/packages \
  "$source/scripts/package" >/dev/null 2>"$scratch/cpack.log" || { cat "$scratch/cpack.log" >&2; fail "scripts/package"; }
cd "$scratch/packages"
[ "$(ls *.deb | sed 's/_.*//' | sort | tr '\n' ' ')" = "libpackwell-dev libpackwelldemo1 packwell " ] ||
  fail "packages: $(ls)"

# Each file in the package it belongs to, and nowhere else.
contents() { dpkg-deb -c "$1"_*.deb | awk '{ print $6 }'; }
expect() {  # package, then patterns that must each match a file of it
  local package=$1 pattern
  shift
  for pattern in "$@"; do contents "$package" | grep -E "$pattern" >/dev/null || fail "$package lacks $pattern"; done
}
expect libpackwelldemo1 '/libPackwellDEMO\.so\.1$' '/packwell/libbrixzip1\.so$' '/packwell/libbrixuzip1\.so$' \
  '/packwell/librarero10\.so$' '/doc/libpackwelldemo1/copyright$'
expect libpackwell-dev '/include/packwell/control/ctlPackwell\.h$' '/cmake/Packwell/PackwellConfig\.cmake$' \
  '/pkgconfig/packwell\.pc$' '/libPackwellDEMO\.so$'
expect packwell '/usr/bin/packwell$' '/usr/bin/prjBRIXpackwell$' '/man1/packwell\.1\.gz$' \
  '/bash-completion/completions/packwell$' '/applications/prjBRIXpackwell\.desktop$' '/apps/prjBRIXpackwell\.svg$' \
  '/packwell/packwell-browse$'
contents libpackwelldemo1 | grep -E '\.h$|\.pc$|/libPackwellDEMO\.so$' >/dev/null && fail "the runtime package holds development files"
contents packwell | grep -E '\.so' >/dev/null && fail "the programs package holds libraries"
# Dependencies from dpkg-shlibdeps (libzip, libc), plus the one between ours.
dpkg-deb -f libpackwelldemo1_*.deb Depends | grep 'libzip4' >/dev/null || fail "runtime dependencies not from the libraries"
dpkg-deb -f packwell_*.deb Depends | grep '^libpackwelldemo1 (= .*libc6' >/dev/null || fail "programs dependencies wrong"

lintian --no-cfg --fail-on error *.deb >"$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log" >&2; fail "lintian"; }

for deb in *.deb; do dpkg-deb -x "$deb" "$scratch/root"; done
usr=$scratch/root/usr
cmake -S "$source/examples/host" -B "$scratch/host" -DCMAKE_PREFIX_PATH="$usr" >/dev/null
cmake --build "$scratch/host" >/dev/null
pcdir=$(dirname "$(find "$usr/lib" -name packwell.pc)")
# The unpacked tree is no system folder: the host is told where to find the
# library at run time, as a host installed outside /usr would be.
c++ -o "$scratch/host/packwell_host_pc" "$source/examples/host/main.cpp" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs packwell) -Wl,-rpath,"$(dirname "$pcdir")"
# What the public headers need and no more: C++20 and Qt's headers for the
# Qt face; Qt's libraries only for a host that uses Qt itself.
PKG_CONFIG_PATH=$pcdir pkg-config --libs packwell | grep Qt6 >/dev/null && fail "pkg-config links every host with Qt"
PKG_CONFIG_PATH=$pcdir pkg-config --cflags packwell | grep QtWidgets >/dev/null || fail "pkg-config lacks the Qt face's headers"
for host in packwell_host packwell_host_pc; do
  rm -rf "$scratch/work"/*
  "$scratch/host/$host" "$scratch/work" >/dev/null || fail "$host"
  libs=$(ldd "$scratch/host/$host")
  grep -q "$usr/lib/.*libPackwellDEMO" <<<"$libs" || fail "$host does not use the unpacked library"
done

# What packwell browse becomes runs on the unpacked control library.
ldd "$(find "$usr/lib" -name packwell-browse)" | grep -q "$usr/lib/.*libPackwellDEMO" ||
  fail "packwell-browse does not use the unpacked library"
# packwell from the unpacked tree: its version, and a zip and unzip round trip.
"$usr/bin/packwell" version | grep '^unzip engine' >/dev/null || fail "packwell version"
"$usr/bin/packwell" --version | grep '^unzip engine' >/dev/null || fail "packwell --version"
mkdir -p "$scratch/trip/out"
head -c 300000 /dev/urandom >"$scratch/trip/data.bin"
"$usr/bin/packwell" zip "$scratch/trip/data.zip" "$scratch/trip/data.bin" >/dev/null
"$usr/bin/packwell" unzip "$scratch/trip/data.zip" "$scratch/trip/out" >/dev/null
cmp "$scratch/trip/data.bin" "$scratch/trip/out/data.bin" || fail "round trip"
echo "packages ok: $(ls "$scratch/packages" | tr '\n' ' ')"
