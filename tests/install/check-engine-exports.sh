#!/usr/bin/env bash
# An engine exports the entry points its version script names and nothing
# else: not the libdeflate it carries inside, whose symbols would otherwise
# take the place of a host's own libdeflate (or be taken by it).
#   check-engine-exports.sh LIBRARY EXPORTS_MAP
set -euo pipefail
lib=$1 map=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
allowed=$(sed -n 's/.*global:\(.*\)/\1/p' "$map" | tr ';' '\n' | tr -d ' ' | grep -v '^$')
[ -n "$allowed" ] || fail "no global names in $map"
extra=$(nm -D --defined-only "$lib" | awk '{ print $3 }' | sed 's/@.*//' | grep -vxF "$allowed" || true)
[ -z "$extra" ] || fail "exported beyond $(basename "$map"): $(head -5 <<<"$extra" | tr '\n' ' ')"
for name in $allowed; do
  nm -D --defined-only "$lib" | awk '{ print $3 }' | grep -qx "$name" || fail "not exported: $name"
done
echo "engine exports ok: $(wc -l <<<"$allowed") entry points"
