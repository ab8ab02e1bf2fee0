#!/usr/bin/env bash
# Prints the names a built library or program exports, one per line, sorted:
# the PE export table when OBJDUMP (a MinGW objdump) is given, else the ELF
# dynamic symbols it defines, without their version ("name@@NODE" prints as
# "name").
# Usage: exported_symbols.sh FILE [OBJDUMP]
set -euo pipefail
file=$1 objdump=${2:-}
if [[ -n "$objdump" ]]; then
  # The name column follows "[Ordinal/Name Pointer] Table".
  "$objdump" -p "$file" |
    awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && NF==0{on=0} on{print $NF}' | sort -u
else
  nm -D --defined-only "$file" | awk '$2 ~ /^[TWDBRV]$/ {sub(/@.*/, "", $3); print $3}' | sort -u
fi
