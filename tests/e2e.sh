#!/usr/bin/env bash
# End to end, as a user would: the real program in a real X server (Xvfb),
# driven with xdotool, on virtual floppies.
#   tests/e2e.sh VARNEL_PROGRAM [SCREENSHOT_FOLDER]
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail
program=$(realpath "$1")
shots=${2:-}
for tool in xvfb-run xdotool mkfs.fat mcopy import gio; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

if [ -z "${VARNEL_E2E_INSIDE:-}" ]; then
  export VARNEL_E2E_INSIDE=1
  exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "${VARNEL_E2E_KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
# A window manager frames the windows for the screenshots. Like most, openbox
# takes Alt+Space for its own window menu; this one is told to leave the
# keyboard to the programs, so the dialog's system menu opens on Alt+Space.
if command -v openbox >/dev/null; then
  mkdir -p "$XDG_CONFIG_HOME/openbox"
  printf '<?xml version="1.0"?>\n<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard/></openbox_config>\n' \
    > "$XDG_CONFIG_HOME/openbox/rc.xml"
  openbox --config-file "$XDG_CONFIG_HOME/openbox/rc.xml" >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

fail() { echo "FAILED: $*" >&2; exit 1; }
# Waits until a command succeeds, for up to 20 seconds.
wait_for() {
  for _ in $(seq 200); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
window() {  # the id of the visible window with this title, waiting for it
  local id
  id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1) || true
  [ -n "$id" ] || fail "no window \"$1\""
  echo "$id"
}
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; sleep 0.3; }
shot() {  # the window with its frame, when a folder for screenshots was given
  [ -n "$shots" ] || return 0
  import -frame -window "$1" "$shots/$2"
}
start() {  # program arguments; the program's window id is printed
  "$program" "$@" >>"$work/program.log" 2>&1 &
  pids+=($!)
  window "Varnel for WinNT"
}
close() {  # Escape in an idle dialog ends it
  focus "$1"
  xdotool key Escape
  wait_for bash -c "! xdotool getwindowname $1 2>/dev/null" || fail "the window did not close"
}

# A 1.44 MB FAT12 floppy with a few files, and images to write.
mkfs.fat -C -F 12 -n VARNEL "$work/a.img" 1440 >/dev/null
printf 'hello\r\n' > "$work/hello.txt"
mcopy -i "$work/a.img" "$work/hello.txt" ::HELLO.TXT
mcopy -i "$work/a.img" "$0" ::E2E.SH
head -c 1474560 /dev/urandom > "$work/random.dsk"
head -c 1474560 /dev/zero > "$work/b.img"
export VARNEL_DRIVE_A=$work/a.img VARNEL_DRIVE_B=$work/b.img

echo "== a write from the command line"
cp "$work/a.img" "$work/a-original.img"
w=$(start "$work/random.dsk" a:)
wait_for cmp -s "$work/random.dsk" "$work/a.img" || fail "the image did not land on A:"
close "$w"
cp "$work/a-original.img" "$work/a.img"

echo "== a read from the Read button, the save dialog answered"
w=$(start)
focus "$w"
xdotool key Tab space
d=$(window "Select Image File to be created...")
focus "$d"
xdotool type --delay 10 "$work/read.dsk"
xdotool key Return
wait_for cmp -s "$work/read.dsk" "$work/a.img" || fail "the image read is not the floppy"
sleep 0.5
shot "$w" screenshot.png

echo "== a write from the Write button, the open dialog given a name without extension"
head -c 1474560 /dev/urandom > "$work/typed.dsk"
close "$w"
w=$(start)
focus "$w"
xdotool key Tab Tab space
d=$(window "Select Image File to be written to Floppy...")
focus "$d"
xdotool type --delay 10 "$work/typed"
xdotool key Return
wait_for cmp -s "$work/typed.dsk" "$work/a.img" || fail "the image named without extension did not land on A:"

echo "== the about box from the system menu"
focus "$w"
xdotool key alt+space
sleep 0.5
xdotool key a
a=$(window "Info about...")
sleep 0.3
shot "$a" about.png
focus "$a"
xdotool key Escape
wait_for bash -c "! xdotool getwindowname $a 2>/dev/null" || fail "Escape did not close the about box"

echo "== registration, then the desktop's 'write to b:' on an image"
focus "$w"
xdotool key alt+space
sleep 0.5
xdotool key r
verb_entry() { grep -l '^Name=write to b:$' "$XDG_DATA_HOME"/applications/*.desktop 2>/dev/null | head -1; }
wait_for verb_entry || fail "no desktop entry for 'write to b:'"
entry=$(verb_entry)
close "$w"
VARNEL_TRACE=$work/trace.log gio launch "$entry" "$work/random.dsk" >>"$work/program.log" 2>&1 &
pids+=($!)
wait_for cmp -s "$work/random.dsk" "$work/b.img" || fail "the verb did not write the image onto B:"
grep -q 'WM_SETTEXT.*"Read B:"' "$work/trace.log" || fail "the dialog did not show Read B:"
grep -q 'WM_SETTEXT.*"Write B:"' "$work/trace.log" || fail "the dialog did not show Write B:"
w=$(window "Varnel for WinNT")

echo "== unregistration removes the desktop's entries"
focus "$w"
xdotool key alt+space
sleep 0.5
xdotool key u
wait_for bash -c "! ls '$XDG_DATA_HOME'/applications/*.desktop" || fail "the desktop entries were not removed"
close "$w"

echo "end to end: all passed"
