# Sourced by a benchmark script, once `here` (its own folder) is set, with
# the script's arguments: the build ($1, default build/) and its programs,
# the scratch folder (BENCH_WORK), the tree size (TREE_MIB) and the rounds
# (ROUNDS); `needs TOOL...` stops the script when a tool or packwell is
# missing.
common=$here/../common
build=$(cd "${1:-$here/../../build}" && pwd)
bin=$build/bin
packwell=$bin/packwell
work=${BENCH_WORK:-$build/bench-work}
mib=${TREE_MIB:-200}
rounds=${ROUNDS:-3}
needs() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/install-deps)" >&2; exit 2; }
  done
  [ -x "$packwell" ] || { echo "no packwell at $packwell (build the packwell target)" >&2; exit 2; }
}
