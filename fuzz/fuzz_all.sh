#!/usr/bin/env bash
# fuzz_all.sh <build folder> <seconds> <jobs>
#
# Runs every fuzz target of <build folder>/bin for <seconds>, <jobs> at a
# time, each with its log in <build folder>/fuzz-runs/<name>.log, and prints
# one line per target: runs, coverage, corpus size and whether it found
# anything. Exits 1 when any target found a fault.
set -uo pipefail
build=$1 seconds=$2 jobs=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/fuzz-runs"

run_one() {
  local fuzzer=$1 name
  name=$(basename "$fuzzer" _fuzzer)
  "$here/run_fuzzer.sh" "$fuzzer" "$here/corpus/$name" "$build/fuzz-runs/$name" "$seconds" \
    >"$build/fuzz-runs/$name.log" 2>&1
}
export -f run_one
export here build seconds
ls "$build"/bin/*_fuzzer | xargs -P "$jobs" -I{} bash -c 'run_one {}'

status=0
for log in "$build"/fuzz-runs/*.log; do
  name=$(basename "$log" .log)
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  corpus=$(ls "$build/fuzz-runs/$name/corpus" | wc -l)
  if grep -q 'ERROR: \|property does not hold\|Test unit written' "$log"; then
    echo "$name: FOUND A FAULT (see $log)"
    status=1
  else
    echo "$name: ${runs:-?} runs in ${seconds}s, ${cov:-cov: ?}, corpus $corpus, no finding"
  fi
done
exit $status
