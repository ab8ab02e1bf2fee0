#!/usr/bin/env bash
# run_fuzzer.sh <fuzzer> <seed corpus> <work folder> <seconds>
#
# Runs one fuzz target for <seconds> on its seeds. What it learns goes to
# <work folder>/corpus (the seeds in the repository are never written), and a
# failing input to <work folder>/ as crash-*, leak-* or timeout-*. A unit
# hangs after 60 s of wall time: generous, so a loaded machine is not taken
# for a hang.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work/corpus"
exec "$fuzzer" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds"
