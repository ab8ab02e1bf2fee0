#!/usr/bin/env bash
# Times "mird-check verify" against "md5sum -c --quiet" on one warm tree of
# about 1500 files from 1 KiB to 4 MiB (about 400 MB, sizes skewed towards
# small files as in an installation), and reports the peak memory of each.
# The tree is generated under /tmp with a fixed seed and removed afterwards.
# Uses hyperfine when installed, else repeated runs under bash's `time`.
# Usage: bench/verify_vs_md5sum.sh MIRD_CHECK [RUNS]
set -euo pipefail
tool=$(realpath "$1")
runs=${2:-10}
tree=$(mktemp -d /tmp/mird-verify-bench.XXXXXX)
trap 'rm -rf "$tree"' EXIT

echo "generating the tree in $tree"
# size = 1 KiB * 4096^(u^1.9): from 1 KiB to 4 MiB, mean about 270 KB.
awk 'BEGIN { srand(1); for (i = 0; i < 1500; i++) {
       printf "d%02d/f%04d.bin %d\n", i % 30, i, int(1024 * 4096 ^ (rand() ^ 1.9)) } }' |
  while read -r path size; do
    mkdir -p "$tree/${path%/*}"
    head -c "$size" /dev/urandom >"$tree/$path"
  done
"$tool" manifest "$tree" >/dev/null
echo "files $(find "$tree" -type f ! -name verify.md5.check | wc -l)," \
  "bytes $(du -sb --exclude=verify.md5.check "$tree" | cut -f1)"

cd "$tree"
cat $(find . -type f) >/dev/null  # warm the page cache
"$tool" verify . >/dev/null
md5sum -c --quiet verify.md5.check

ours=("$tool" verify .)
peer=(md5sum -c --quiet verify.md5.check)
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 2 --runs "$runs" -n "mird-check verify" "${ours[*]@Q}" \
    -n "md5sum -c --quiet" "${peer[*]}"
else
  echo "== mird-check verify, $runs runs"
  time (for ((i = 0; i < runs; i++)); do "${ours[@]}" >/dev/null; done)
  echo "== md5sum -c --quiet, $runs runs"
  time (for ((i = 0; i < runs; i++)); do "${peer[@]}" >/dev/null; done)
fi

peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}'; }
if [[ -x /usr/bin/time ]]; then
  echo "peak memory: mird-check verify $(peak "${ours[@]}") KiB," \
    "md5sum -c $(peak "${peer[@]}") KiB"
fi
