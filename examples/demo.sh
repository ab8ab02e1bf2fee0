#!/usr/bin/env bash
# Runs the product's check on the sample installation as a user's machine
# meets it: a profile folder whose ".trelm_install" names the install root,
# and the library's log turned on.
# Usage: examples/demo.sh BIN_FOLDER (the folder holding mird-check)
set -euo pipefail
bin=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/sample-install" && pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

echo "install marker $home/.trelm_install -> $root/"
printf '%s/\n' "$root" >"$home/.trelm_install"

echo "\$ mird-check --log $home/log"
status=0
HOME=$home XDG_CONFIG_HOME=$home/.config "$bin/mird-check" --log "$home/log" || status=$?
echo "exit status $status (0 intact, 1 files missing or changed, 2 error)"

log=$home/log/trace.mird-check.blog
if [[ -f $log ]]; then
  echo "log lines ($log):"
  sed 's/^/  /' "$log"
fi
# Files that fail are the sample's point, not a failure of the demo.
[[ $status == 0 || $status == 1 ]]
