#!/usr/bin/env bash
# The export check compares exact symbols: a library exporting one C++ symbol
# the list lacks (as a template instantiated on the way would be), or lacking
# one the list names, or exporting under another version node, fails it, and
# says which symbol.
# Usage: check_exports_test.sh CHECK LIBRARY EXPORTS_TXT INCLUDE_DIR VERSION_NODE [OBJDUMP]
set -uo pipefail
check=$1 library=$2 list=$3 include_dir=$4 node=$5 objdump=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect_failure NAME LIST NODE TEXT: the check on LIST fails and prints TEXT.
expect_failure() {
  local output
  if output=$(bash "$check" "$library" "$2" "$include_dir" "$3" $objdump 2>&1); then
    echo "FAIL $1: the check passed"; failures=$((failures + 1))
  elif ! grep -qF -- "$4" <<<"$output"; then
    echo "FAIL $1: no \"$4\" in:"; echo "$output"; failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

# A member of a listed class, not listed: a substring match on the class
# name would let it through.
member='jx::Jvalue::SetArray(jx::Jpath const&, std::vector<jx::Jvalue, std::allocator<jx::Jvalue> > const&)'
grep -vxF "$member" "$list" >"$work/unlisted.txt"
expect_failure "unlisted member" "$work/unlisted.txt" "$node" "$member"

# A listed instantiation the library does not export.
copy='jx::Jvalue* std::__do_uninit_copy<jx::Jvalue const*, jx::Jvalue*>(jx::Jvalue const*, jx::Jvalue const*, jx::Jvalue*)'
{ cat "$list"; echo "$copy"; } >"$work/extra.txt"
expect_failure "listed, not exported" "$work/extra.txt" "$node" "$copy"

# A C name dropped from the list.
grep -vx 'jx_md5_string' "$list" >"$work/c.txt"
expect_failure "unlisted C name" "$work/c.txt" "$node" "C name exported but not listed"

if [[ -z "$objdump" ]]; then
  expect_failure "other version node" "$list" "${node}_OTHER" "jx_md5_string@@$node"
fi
exit $((failures > 0))
