#!/usr/bin/env bash
# Makes sure 32-bit x86 programs run here. Some kernels (virtual machines
# without IA-32 emulation) refuse them; there qemu's i386 emulator is
# registered for them with binfmt_misc, which needs root. The emulator runs a
# spawn's vfork as a plain fork, so a failed exec then reaches the parent as a
# child that exits 127: the linux-i386 test preset leaves out the one test
# that launches a missing program.
# Usage: run_32bit.sh PROGRAM   (a 32-bit program that exits 0)
set -euo pipefail
probe=$1
"$probe" >/dev/null 2>&1 && exit 0
if [[ $(id -u) != 0 ]]; then
  echo "this kernel does not run 32-bit programs; as root, make test registers qemu-i386 for them" >&2
  exit 1
fi
binfmt=/proc/sys/fs/binfmt_misc
[[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [[ ! -e $binfmt/qemu-i386 ]]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  # F: the emulator is opened now, so it serves in every mount namespace.
  printf '%s' ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" >"$binfmt/register"
fi
"$probe" >/dev/null
echo "32-bit programs run under qemu-i386 (this kernel does not run them itself)"
