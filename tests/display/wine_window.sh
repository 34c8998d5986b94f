#!/usr/bin/env bash
# The Windows window program under Wine on a virtual X display, checked from
# outside the process: caption and client size from X; the list and the
# message boxes through wine_probe, a program of ours in the same prefix (X
# shows a box's title but not its text); the split's files against the
# command line's; a close request and the end of the session in the middle
# of a split. Every wait polls for the state it needs, with a deadline.
#   wine_window.sh EZGITAR_EXE EZGITAR_CLI_EXE MAKE_MIDI_EXE WINE_PROBE_EXE PREFIX
# PREFIX is the Wine prefix, made on the first run and kept.
set -uo pipefail

for tool in Xvfb xdpyinfo xdotool xprop xwininfo import convert wine wineserver; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done

ezgitar=$1 cli=$2 make_midi=$3 probe=$4
export WINEPREFIX=$5 WINEDEBUG=-all
# No offer to install Mono or Gecko, which nothing here uses.
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8
work=$(mktemp -d)
[ -n "${EZGITAR_KEEP:-}" ] && echo "work folder: $work"
# shellcheck source=tests/display/display_lib.sh
. "$(dirname "$0")/display_lib.sh"
cleanup() {
  # The prefix's programs and server end with the display they drew on.
  wineserver -k 2>/dev/null
  { kill -9 $(jobs -p) && wait; } 2>/dev/null
  [ -n "${EZGITAR_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

start_display 800x600x24
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  step "making the Wine prefix"
  mkdir -p "$WINEPREFIX"
  timeout 300 wineboot --init >"$work/wineboot.log" 2>&1 || { echo "FAIL: wineboot"; cat "$work/wineboot.log"; exit 1; }
fi
# One server for the whole test, so that each program starts in a running
# prefix; a server left by programs run without a display would give the
# window none.
wineserver -k 2>/dev/null
wineserver -w
wineserver -p
# A console program of ours under Wine, in the current folder.
run() { timeout 60 wine "$@"; }

program=ezgitar.exe launcher=(wine)
# The message box up says $2, has OK only and no icon; the probe then
# presses OK.
box_says() {
  local said status
  said=$(run "$probe" box 20 2>"$work/probe.stderr")
  status=$?
  check "$1" "${said%$'\r'}" "$2"
  [ "$status" -eq 0 ] || fail "$1: $(cat "$work/probe.stderr")"
}
list_is() { check "$1" "$(run "$probe" list 20 | tr -d '\r' | paste -sd '|')" "$2"; }

mkdir -p "$work/cli" "$work/empty" "$work/one"
: >"$work/empty/pars.bin"
head -c 20 /dev/zero >"$work/one/pars.bin"
song="hicaz-şarkı.mid"
# Five packets, two pairs: the strip moves once and the split stays short
# however slowly Wine pumps events.
# make_midi takes its arguments in the system's code page: the Turkish name
# is given here.
(cd "$work" && run "$make_midi" song.mid 48 7 && run "$make_midi" other.mid 24 3 && run "$make_midi" long.mid 24000 3) ||
  { echo "FAIL: make_midi"; exit 1; }
mv "$work/song.mid" "$work/$song"
(cd "$work" && run "$cli" split -q -o cli "$song" long.mid) || { echo "FAIL: the command line's split"; exit 1; }

# --- Start-up messages: the main window is never created, the log untouched.
step "start-up messages"
launch nomidi "$work/empty/pars.bin"
box_says "no-MIDI message" "midi dosyalarınızı uygulama klasörüne taşıyın."
ends_well "no-MIDI exit" 20
log_size "no-MIDI log" 0
launch nolog "$work/$song"
box_says "no-pars.bin message" " pars.bin dosyası bulunamadı."
ends_well "no-pars.bin exit" 20
x xdotool search --name "sürüm" >/dev/null 2>&1 && fail "a main window was created"

# --- The window, a split of the first entry, a close.
step "the window"
launch main "$work/$song" "$work/other.mid" "$work/empty/pars.bin"
main_window || { fail "no main window"; exit 1; }
check "WM_NAME" "$(x xprop -id "$w" WM_NAME | sed 's/^[^=]*= //')" '"Ezgitar sürüm 5"'
check "_NET_WM_NAME" "$(x xprop -id "$w" _NET_WM_NAME | sed 's/^[^=]*= //')" '"Ezgitar sürüm 5"'
# Without a window manager the X window is the client area.
check "client size" "$(x xwininfo -id "$w" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')" 367x466
list_is "list" "hicaz-şarkı|other"
[ -n "${EZGITAR_SCREENSHOT:-}" ] && x import -window root "$EZGITAR_SCREENSHOT"
cp "$work/probe.png" "$work/start.png"
click "$w" 160 388
box_says "no selection" "Bir dosya seçin."
step "a split"
split_first
until_true 60 test -e "$prog/hicaz-şarkı_24.mid" || fail "the split wrote no copies"
same_as_cli hicaz-şarkı
until_true 10 strip_differs "$work/start.png" || fail "the split did not move the strip"
list_is "list after the split" "hicaz-şarkı|hicaz-şarkı_13|hicaz-şarkı_24|other"
# Start has the focus; Tab reaches the list, and Down moves its selection.
until_true 10 focus "$w" || fail "the window never took the focus"
x xdotool key Tab Down
until_true 10 strip_same "$work/start.png" || fail "Down did not close the strip"
run "$probe" close || fail "no window to close"
ends_well "closed" 20
log_size "run log" 20

# --- A close request, and the end of the session, in the middle of a long
# split: the program ends at once, with both copies whole and its record.
long=$work/long.mid
stop_split() { run "$probe" "$1" || fail "$1: the probe failed"; }
for how in close endsession; do long_split_stopped "$how" 60; done

finish "window under Wine"
