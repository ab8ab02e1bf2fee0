#!/usr/bin/env bash
# Checks a built library's export table against cmake/exports.txt and the
# public headers: the C names exported are exactly the listed ones; the C++
# symbols exported, demangled, are exactly the listed names (a DLL leaves the
# "typeinfo name for" strings out of its table, so those are not expected
# there); every JX_API function declared in the headers is listed; and on
# Linux every export carries the version node VERSION_NODE.
# Usage: check_exports.sh LIBRARY EXPORTS_TXT INCLUDE_DIR VERSION_NODE [OBJDUMP]
set -euo pipefail
library=$1 list=$2 include_dir=$3 node=$4 objdump=${5:-}
identifier='^[A-Za-z_][A-Za-z0-9_]*$'

entries=$(grep -vE '^\s*(#|$)' "$list" | sed -E 's/^\s+|\s+$//g')
expected_c=$(grep -E "$identifier" <<<"$entries" | sort -u)
expected_cxx=$(grep -vE "$identifier" <<<"$entries" | sort -u || true)
if [[ -n "$objdump" ]]; then
  expected_cxx=$(grep -v '^typeinfo name for ' <<<"$expected_cxx" || true)
fi

exported=$(bash "$(dirname "$0")/exported_symbols.sh" "$library" "$objdump")
c_exported=$(grep -v '^_Z' <<<"$exported" || true)
cxx_exported=$(grep '^_Z' <<<"$exported" | c++filt | sort -u || true)

status=0
# Prints the lines of $2 (a title) when any, and marks the check failed.
report() {
  [[ -z "$1" ]] && return 0
  echo "$2:"
  echo "$1"
  status=1
}
report "$(comm -23 <(echo "$expected_c") <(echo "$c_exported"))" "C name listed but not exported"
report "$(comm -13 <(echo "$expected_c") <(echo "$c_exported"))" "C name exported but not listed"
report "$(comm -23 <(echo "$expected_cxx") <(echo "$cxx_exported"))" "C++ symbol listed but not exported"
report "$(comm -13 <(echo "$expected_cxx") <(echo "$cxx_exported"))" "C++ symbol exported but not listed"

if [[ -z "$objdump" ]]; then
  unversioned=$(nm -D --defined-only "$library" |
    awk -v node="$node" '$2 ~ /^[TWDBRV]$/ && $3 !~ ("@@" node "$") {print $3}')
  report "$unversioned" "exported without the version node $node"
fi

declared=$(find "$include_dir" -name "*.h" ! -name jx_api.h -exec cat {} + | tr '\n' ' ' | grep -oE 'JX_API[^;{(]*\(' |
  sed -E 's/\($//; s/.*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)$/\1/' | sort -u)
report "$(comm -23 <(echo "$declared") <(echo "$expected_c"))" "declared JX_API but not listed"
report "$(comm -13 <(echo "$declared") <(echo "$expected_c"))" "listed but not declared in a public header"

if [[ $status == 0 ]]; then
  echo "exports ok: $(grep -c . <<<"$expected_c") C names, $(grep -c . <<<"$cxx_exported" || true) C++ symbols"
fi
exit $status
