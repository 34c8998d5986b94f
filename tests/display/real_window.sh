#!/usr/bin/env bash
# The real program on a virtual X display, checked only from outside the
# process: caption, size, colours and places in screenshots, message boxes,
# the split's files against the command line's, and how it ends on a close
# request or a signal, in the middle of a long split or while a box is up.
# Every wait polls for the state it needs, with a deadline.
#   real_window.sh EZGITAR EZGITAR_CLI MAKE_MIDI SEND_CLOSE
set -uo pipefail

for tool in Xvfb xdpyinfo xdotool xprop xwininfo import convert xclip; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done

ezgitar=$1 cli=$2 make_midi=$3 send_close=$4
export LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM
work=$(mktemp -d)
[ -n "${EZGITAR_KEEP:-}" ] && echo "work folder: $work"
# shellcheck source=tests/display/display_lib.sh
. "$(dirname "$0")/display_lib.sh"
cleanup() {
  kill -9 $(jobs -p) 2>/dev/null
  [ -n "${EZGITAR_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

start_display 640x480x24

program=ezgitar launcher=()
colours() { convert "$1" -crop "$2" +repage -unique-colors -format "%k" info:; }
clipboard_is() { [ "$(timeout 2 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null)" = "$1" ]; }
# A message box (titled with the application's name) is up and says $2:
# Ctrl+C must put exactly that on the clipboard. `box` is its id.
box=
box_says() {
  box=$(find_window Ezgitar) || { fail "$1: no message box"; return 1; }
  until_true 10 focus "$box" || { fail "$1: the box never took the focus"; return 1; }
  x xdotool key ctrl+c
  until_true 10 clipboard_is "$2" ||
    fail "$1: got '$(timeout 2 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null)', want '$2'"
}
# OK closes the box.
answer_box() {
  x xdotool key Return
  until_true 10 eval '[ -z "$(visible_window Ezgitar)" ]' || fail "$1: the box stayed up"
}

mkdir -p "$work/cli" "$work/empty" "$work/one"
: >"$work/empty/pars.bin"
head -c 20 /dev/zero >"$work/one/pars.bin"
song=$work/song.mid
"$make_midi" "$song" 150 7

# --- Start-up messages: the main window never maps, the log is untouched.
step "start-up messages"
launch nomidi "$work/empty/pars.bin"
box_says "no-MIDI message" "midi dosyalarınızı uygulama klasörüne taşıyın." && answer_box "no-MIDI message"
ends_well "no-MIDI exit"
log_size "no-MIDI log" 0
launch nolog "$song"
box_says "no-pars.bin message" " pars.bin dosyası bulunamadı." && answer_box "no-pars.bin message"
ends_well "no-pars.bin exit"
cat "$work"/*.stderr | grep -q "sürüm" && fail "start-up printed about the window"
x xdotool search --name "sürüm" >/dev/null 2>&1 && fail "a main window was created"
# A signal while start-up's box is up: the box goes, its text on standard
# error.
launch nolog-term "$song"
box_says "no-pars.bin message, then a signal" " pars.bin dosyası bulunamadı." && kill -TERM "$pid"
ends_well "no-pars.bin, signal: ends without a click"
grep -qxF " pars.bin dosyası bulunamadı." "$prog.stderr" || fail "no-pars.bin, signal: standard error lacks the message"

# --- A file size limit smaller than the copies: the split's write fails and
# says so; the program lives on and saves its record.
step "file size limit"
launcher=(prlimit --fsize=100)
launch fsize "$song" "$work/empty/pars.bin"
launcher=()
main_window || fail "fsize: no main window"
split_first
box_says "fsize" "song_13.mid dosyası yazılamadı: dosya boyutu sınırını aşıyor. Eski iki dosya da korundu." &&
  answer_box "fsize"
x "$send_close" "$w"
ends_well "fsize: closed"
log_size "fsize: run log" 20
[ -e "$prog/song_13.mid" ] && fail "fsize: a copy was written"

# --- The window itself.
step "the window"
launch main "$song" "$work/empty/pars.bin"
main_window || { fail "no main window"; cat "$prog.stderr"; exit 1; }
check "_NET_WM_NAME" "$(x xprop -id "$w" _NET_WM_NAME | sed 's/^[^=]*= //')" '"Ezgitar sürüm 5"'
check "WM_NAME" "$(x xprop -id "$w" WM_NAME | sed 's/^[^=]*= //')" '"Ezgitar sürüm 5"'
check "client size" "$(x xwininfo -id "$w" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')" 367x466
cp "$work/probe.png" "$work/start.png"
# The frame, edges included, is the window's colour around its list.
for strip in 240x16+40+32 240x4+40+268 8x240+40+32 12x240+268+32; do
  check "frame $strip" "$(colours "$work/start.png" "$strip")" 1
  xy=${strip#*+}
  check "frame colour $strip" "$(pixel "$work/start.png" "${xy%+*}" "${xy#*+}")" 255,128,0
done
# Start fills 40..279 across and 360..416 down; orange all around it.
row=$(convert "$work/start.png" -crop 367x1+0+388 +repage txt:- | awk -F'[ ,:]+' 'NR>1 && $0 !~ /#FF8000/ {print $1}')
check "Start left, right" "$(echo "$row" | head -1),$(echo "$row" | tail -1)" 40,279
col=$(convert "$work/start.png" -crop 1x140+160+300 +repage txt:- | awk -F'[ ,:]+' 'NR>1 && $0 !~ /#FF8000/ {print $2 + 300}')
check "Start top, bottom" "$(echo "$col" | head -1),$(echo "$col" | tail -1)" 360,416

# A split writes what the command line writes; an arrow key closes the strip.
step "a split"
split_first
until_true 20 test -e "$prog/song_24.mid" || fail "the split wrote no copies"
"$cli" split -q -o "$work/cli" "$song"
same_as_cli song
until_true 10 strip_differs "$work/start.png" || fail "the split did not move the strip"
# Start has the focus; Tab reaches the list without changing its selection.
until_true 10 focus "$w" || fail "the window never took the focus"
x xdotool key Tab Down
until_true 10 strip_same "$work/start.png" || fail "Down did not close the strip"
# Ctrl+click takes the selection away: Start asks for one.
x xdotool keydown ctrl
click "$w" 60 78
x xdotool keyup ctrl
click "$w" 160 388
box_says "no selection" "Bir dosya seçin." && answer_box "no selection"
[ -e "$prog/song_13_13.mid" ] && fail "Start split a deselected entry"
x "$send_close" "$w"
ends_well "closed"
log_size "run log" 20

# --- Listening: a double click plays the entry, a click stops it. The sound
# goes to a file, written as it plays; the player holds the file open while
# it sounds, ringing included, and lets it go when stopped.
step "listening"
audio=$work/audio.raw
holds_audio() { ls -l "/proc/$pid/fd" 2>/dev/null | grep -qF "$audio"; }
launcher=(env "EZGITAR_AUDIO_FILE=$audio")
launch listen "$song" "$work/empty/pars.bin"
launcher=()
if main_window; then
  x xdotool mousemove --window "$w" 60 58 click --repeat 2 --delay 60 1
  until_true 10 eval '[ "$(stat -c %s "$audio" 2>/dev/null || echo 0)" -gt 17640 ]' ||
    fail "listening: the double click played nothing"
  holds_audio || fail "listening: the player let the sound go before the click"
  click "$w" 60 58
  until_true 10 eval '! holds_audio' || fail "listening: a click did not stop the sound"
  x "$send_close" "$w"
  ends_well "listening: closed"
else
  fail "listening: no main window"
fi

# --- A run log that cannot be saved: a close by the user says why in a box;
# a signal then ends the program without waiting for the box, and a close by
# a signal shows no box at all. Both put the reason on standard error.
cannot_save="pars.bin dosyası yazılamadı: dosya salt okunur. Eski kayıtlar olduğu gibi duruyor."
for how in box term; do
  step "read-only log, $how"
  launch "readonly-$how" "$song" "$work/one/pars.bin"
  chmod 444 "$prog/pars.bin"
  main_window || { fail "readonly-$how: no main window"; continue; }
  if [ "$how" = box ]; then
    x "$send_close" "$w"
    box_says "read-only log" "$cannot_save"
  fi
  kill -TERM "$pid"
  ends_well "readonly-$how: ends without a click"
  grep -qxF "$cannot_save" "$prog.stderr" || fail "readonly-$how: standard error lacks why the log was not saved"
  log_size "readonly-$how: run log" 20
done

# --- A close request, SIGTERM, SIGHUP and SIGINT in the middle of a long split
# (20,000 packets): the program ends at once, with both copies whole and its
# record.
long=$work/long.mid
"$make_midi" "$long" 240000 3
"$cli" split -q -o "$work/cli" "$long"
stop_split() { case $1 in close) x "$send_close" "$w" ;; *) kill "-${1^^}" "$pid" ;; esac; }
for how in close term hup int; do long_split_stopped "$how" 20; done

finish "real window"
