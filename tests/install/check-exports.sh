#!/usr/bin/env bash
# The control library exports its public surface and nothing of the inside:
# at most 300 dynamic symbols, the members hosts call among them, none of the
# test double, the sample data or the registry's store.
set -euo pipefail
lib=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
symbols=$(nm -D --defined-only "$lib" | awk '{ print $3 }')
names=$(c++filt <<<"$symbols")
inside=$(grep -E 'pw::(ScriptedPlatform|samples::|reg::)' <<<"$names" || true)
[ -z "$inside" ] || fail "exported from the inside: $(head -5 <<<"$inside")"
count=$(wc -l <<<"$symbols")
[ "$count" -le 300 ] || fail "$count exported symbols (at most 300)"
for wanted in '^PackwellBrowse$' '^ctlPackwell::zipONEfile\(' '^pw::Invoke\(' '^pw::setPlatform\(' \
              '^pw::qt::ctlPackwellWidget::ctlPackwellWidget\(' '^cRegistry::' '^cMRU::' '^cUnzip::' '^cZip::'; do
  grep -Eq "$wanted" <<<"$names" || fail "not exported: $wanted"
done
echo "exports ok: $count symbols"
