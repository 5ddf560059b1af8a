#!/usr/bin/env bash
# Runs the floppy-driver tests inside a small virtual machine whose drives are
# the kernel's own floppy driver on an emulated controller (the floppy-vm tool
# beside this project), for each drive type with a disk and with an empty
# drive, and checks on this side that the disk image holds what was written.
#   tests/floppy_vm.sh [build folder]   (default: build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
vm=${FLOPPY_VM:-$root/../shared/tools/floppy-vm}
tests=$build/tests/varnel_engine_tests
[ -x "$tests" ] || { echo "build the tests first: cmake --build --preset release" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

only=${ONLY:-}
run() {  # drive type, medium size (0: empty drive)
  [ -z "$only" ] || [ "$only" = "$1/$2" ] || return 0
  local type=$1 size=$2 disk=()
  if [ "$size" -gt 0 ]; then
    head -c "$size" /dev/zero > "$work/disk.img"
    disk=(--a "$work/disk.img")
  fi
  echo "== drive type $type, medium of $size bytes"
  "$vm" "${disk[@]}" --type-a "$type" --qt --copy "$tests" -- \
    env VARNEL_TEST_FLOPPY_DRIVE="$type" VARNEL_TEST_FLOPPY_MEDIUM="$size" \
    "$tests" --gtest_filter='FloppyDriverTest.*' --gtest_brief=1
  if [ "$size" -gt 0 ]; then
    # The tests wrote their pattern onto the disk; it is in the image now.
    [ "$(stat -c %s "$work/disk.img")" -eq "$size" ] || { echo "the disk image changed size" >&2; exit 1; }
    if cmp -s "$work/disk.img" <(head -c "$size" /dev/zero); then
      echo "the disk image is still blank" >&2
      exit 1
    fi
  fi
}

run 144 1474560
run 144 737280
run 288 2949120
run 120 1228800
# A 360 KB disk in the emulated 1.2 MB drive cannot be read at all there: even
# dd on /dev/fd0 waits until the machine is stopped, so it is not run.
run 144 0
echo "floppy driver: all runs passed"
