#!/usr/bin/env bash
# Checks a built library's export table against cmake/exports.txt and the
# public headers: every listed C name is exported, nothing else of C linkage
# is, every exported C++ symbol belongs to a listed jx:: class, and every
# JX_API function declared in include/base is listed.
# Usage: check_exports.sh LIBRARY EXPORTS_TXT INCLUDE_DIR [OBJDUMP]
set -euo pipefail
library=$1 list=$2 include_dir=$3 objdump=${4:-}

expected_c=$(grep -vE '^\s*(#|$|class )' "$list" | sort -u)
classes=$(sed -n 's/^class //p' "$list")

exported=$(bash "$(dirname "$0")/exported_symbols.sh" "$library" "$objdump")

status=0
c_exported=$(grep -v '^_Z' <<<"$exported" || true)
cxx_exported=$(grep '^_Z' <<<"$exported" || true)

missing=$(comm -23 <(echo "$expected_c") <(echo "$c_exported"))
extra=$(comm -13 <(echo "$expected_c") <(echo "$c_exported"))
[[ -n "$missing" ]] && { echo "not exported but listed:"; echo "$missing"; status=1; }
[[ -n "$extra" ]] && { echo "exported but not listed:"; echo "$extra"; status=1; }

if [[ -n "$cxx_exported" ]]; then
  while IFS= read -r symbol; do
    name=$(c++filt "$symbol")
    ok=0
    for class in $classes; do
      [[ "$name" == *"$class"* ]] && ok=1
    done
    [[ $ok == 1 ]] || { echo "C++ symbol outside the listed classes: $name"; status=1; }
  done <<<"$cxx_exported"
fi

declared=$(find "$include_dir" -name "*.h" ! -name jx_api.h -exec cat {} + | tr '\n' ' ' | grep -oE 'JX_API[^;{(]*\(' |
  sed -E 's/\($//; s/.*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)$/\1/' | sort -u)
undeclared=$(comm -13 <(echo "$declared") <(echo "$expected_c"))
unlisted=$(comm -23 <(echo "$declared") <(echo "$expected_c"))
[[ -n "$unlisted" ]] && { echo "declared JX_API but not listed:"; echo "$unlisted"; status=1; }
[[ -n "$undeclared" ]] && { echo "listed but not declared in a public header:"; echo "$undeclared"; status=1; }

if [[ $status == 0 ]]; then
  echo "exports ok: $(wc -l <<<"$expected_c") C names, $(grep -c . <<<"$cxx_exported" || true) C++ symbols"
fi
exit $status
