#!/usr/bin/env bash
# Times the library's check (on the caller's one thread, run by mird-check's
# default command on an install root made for it) and "mird-check verify" on
# one and two threads beside "md5sum -c" and, where installed,
# "rhash --check" and "b3sum --check" (on every core), on two warm trees:
# about 1500 files from 1 KiB to 4 MiB (about 400 MB, sizes skewed towards
# small files as in an installation), and 20000 files of 4 KiB (80 MB). Also
# times "mird-check manifest" on one and two threads beside
# "find | xargs md5sum -b" on the first tree, and reports peak memory.
# The trees are generated under /tmp with a fixed seed and removed afterwards.
# Needs hyperfine. Usage: bench/verify_vs_md5sum.sh MIRD_CHECK [RUNS]
set -euo pipefail
tool=$(realpath "$1")
runs=${2:-10}
work=$(mktemp -d /tmp/mird-verify-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# make_tree DIR COUNT AWK_SIZE: COUNT files in 30 folders, sized by AWK_SIZE.
# DIR is the version folder 1.0.0.0 of an install root; a home folder beside
# the root (ROOT.home) points the library's check at it.
make_tree() {
  mkdir -p "$1" "${1%/*}.home"
  echo "${1%/*}/" >"${1%/*}.home/.trelm_install"
  awk -v count="$2" "BEGIN { srand(1); for (i = 0; i < count; i++) {
       printf \"d%02d/f%05d.bin %d\\n\", i % 30, i, $3 } }" |
    while read -r path size; do
      mkdir -p "$1/${path%/*}"
      head -c "$size" /dev/urandom >"$1/$path"
    done
  "$tool" manifest "$1" >/dev/null
  (cd "$1" && find . -type f ! -name verify.md5.check | sort | xargs b3sum >../"${1##*/}".b3 2>/dev/null) || true
  echo "$1: files $(find "$1" -type f ! -name verify.md5.check | wc -l)," \
    "bytes $(du -sb --exclude=verify.md5.check "$1" | cut -f1)"
}

# compare DIR: the verifiers side by side on DIR, warm.
compare() {
  cd "$1"
  cat $(find . -type f) >/dev/null
  md5sum -c --quiet verify.md5.check
  local commands=(-n "library check" "env HOME=${1%/*}.home ${tool@Q} --status"
                  -n "mird-check verify --jobs 1" "${tool@Q} verify --quiet --jobs 1 ."
                  -n "mird-check verify --jobs 2" "${tool@Q} verify --quiet --jobs 2 ."
                  -n "md5sum -c" "md5sum -c --quiet verify.md5.check")
  if command -v rhash >/dev/null; then
    commands+=(-n "rhash --check" "rhash --md5 --check --skip-ok verify.md5.check")
  fi
  if command -v b3sum >/dev/null && [[ -s ../"${1##*/}".b3 ]]; then
    commands+=(-n "b3sum --check" "b3sum --check --quiet ../${1##*/}.b3")
  fi
  hyperfine -N --warmup 2 --runs "$runs" "${commands[@]}"
  cd - >/dev/null
}

# size = 1 KiB * 4096^(u^1.9): from 1 KiB to 4 MiB, mean about 270 KB.
make_tree "$work/large/1.0.0.0" 1500 'int(1024 * 4096 ^ (rand() ^ 1.9))'
make_tree "$work/small/1.0.0.0" 20000 4096
compare "$work/large/1.0.0.0"
compare "$work/small/1.0.0.0"

cd "$work/large/1.0.0.0"
hyperfine -N --warmup 1 --runs "$runs" -n "mird-check manifest --jobs 1" "${tool@Q} manifest --jobs 1 ." \
  -n "mird-check manifest --jobs 2" "${tool@Q} manifest --jobs 2 ." \
  -n "find | xargs md5sum -b" "bash -c 'find . -type f ! -name verify.md5.check | xargs md5sum -b'"

peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}'; }
if [[ -x /usr/bin/time ]]; then
  echo "peak memory: mird-check verify --jobs 1 $(peak "$tool" verify --jobs 1 .) KiB," \
    "--jobs 2 $(peak "$tool" verify --jobs 2 .) KiB," \
    "md5sum -c $(peak md5sum -c --quiet verify.md5.check) KiB"
fi
