#!/usr/bin/env bash
# Each ELF file given has read-only relocations (GNU_RELRO), binds them all at
# load (BIND_NOW) and asks for a stack that is not executable.
set -euo pipefail
failed=0
for f in "$@"; do
  headers=$(readelf -W -l "$f")
  dynamic=$(readelf -W -d "$f")
  why=()
  grep -q 'GNU_RELRO' <<<"$headers" || why+=("no GNU_RELRO segment")
  grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' <<<"$dynamic" || why+=("not BIND_NOW")
  grep -Eq 'GNU_STACK.* RW  ' <<<"$headers" || why+=("executable or missing GNU_STACK")
  if [ ${#why[@]} -gt 0 ]; then
    echo "FAIL: $f: ${why[*]}" >&2
    failed=1
  fi
done
[ "$failed" = 0 ] || exit 1
echo "hardened: $# files"
