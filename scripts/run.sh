#!/usr/bin/env bash
# Builds Varnel (installing what is missing first) and starts it. Arguments go
# to the program: scripts/run.sh IMAGE a: writes IMAGE onto drive A: at once.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target varnel

# Without a floppy drive, drive A: is a virtual floppy: a 1.44 MB FAT12
# volume with a few files, so that there is something to read and write.
if [ -z "${VARNEL_DRIVE_A:-}" ] && [ ! -b /dev/fd0 ]; then
  floppy="$root/build/demo-floppy.img"
  if [ ! -f "$floppy" ]; then
    mkfs.fat -C -F 12 -n VARNEL "$floppy" 1440 >/dev/null
    mcopy -i "$floppy" README.md ::README.TXT
    printf 'Hello from the Varnel demo floppy.\r\n' > "$root/build/hello.txt"
    mcopy -i "$floppy" "$root/build/hello.txt" ::HELLO.TXT
    mmd -i "$floppy" ::DOCS
    mcopy -i "$floppy" res/varnel.html ::DOCS/HELP.HTM 2>/dev/null || true
  fi
  export VARNEL_DRIVE_A="$floppy"
  echo "No floppy drive here: drive A: is the virtual floppy $floppy (set VARNEL_DRIVE_A to choose another)."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display. Run Varnel under a virtual X server:"
  echo "  xvfb-run -a scripts/run.sh $*"
  exit 1
fi
exec "$root/build/release/app/varnel" "$@"
