#!/usr/bin/env bash
# The real program on a virtual X display, checked only from outside the
# process: caption, size, colours and places in screenshots, message boxes,
# the split's files against the command line's, and how it ends on a close
# request or SIGTERM in the middle of a long split.
#   real_window.sh EZGITAR EZGITAR_CLI MAKE_MIDI SEND_CLOSE
set -uo pipefail

if [ -z "${EZGITAR_ON_DISPLAY:-}" ]; then
  for tool in xvfb-run xdotool xprop xwininfo import convert xclip; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
  done
  export EZGITAR_ON_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 640x480x24" "$0" "$@"
fi

ezgitar=$1 cli=$2 make_midi=$3 send_close=$4
export LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM
work=$(mktemp -d)
[ -n "${EZGITAR_KEEP:-}" ] && echo "work folder: $work"
trap 'kill $(jobs -p) 2>/dev/null; [ -n "${EZGITAR_KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"; }

# A program folder of its own holding the given files, started from another
# current folder: `prog` is the folder, `pid` the program.
prog= pid=
launch() {
  prog=$work/$1
  shift
  mkdir -p "$prog" "$work/elsewhere"
  cp "$ezgitar" "$@" "$prog/"
  (cd "$work/elsewhere" && exec "$prog/ezgitar" 2>>"$work/stderr") &
  pid=$!
}
# The first visible window with exactly this name, within 10 s.
find_window() {
  local w
  for _ in $(seq 200); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
# The program ends by itself within 5 s, with status 0; else it is killed.
ends_well() {
  local deadline=$((SECONDS + 5))
  while kill -0 "$pid" 2>/dev/null && [ $SECONDS -le "$deadline" ]; do sleep 0.05; done
  if kill -0 "$pid" 2>/dev/null; then check "$1" running 0; kill -9 "$pid"; wait "$pid"; return; fi
  wait "$pid"; check "$1" $? 0
}
log_size() { check "$1" "$(stat -c %s "$prog/pars.bin")" "$2"; }
main_window() { w=$(find_window "Ezgitar sürüm 5") && sleep 0.3; }
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
colours() { convert "$1" -crop "$2" +repage -unique-colors -format "%k" info:; }
click() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; sleep 0.2; }
# A message box titled with the application's name is up: prints its text,
# which Ctrl+C puts on the clipboard, and closes it with OK.
message_box() {
  local box
  box=$(find_window Ezgitar) || { echo "no message box"; return; }
  sleep 0.2
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key --window "$box" ctrl+c; sleep 0.2
  timeout 5 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null
  xdotool key --window "$box" Return
}

# Selects the first entry and presses Start.
split_first() {
  click "$w" 60 58
  click "$w" 160 388
}
# Both copies of $1 are the command line's, byte for byte.
same_as_cli() {
  for copy in 13 24; do
    cmp -s "$prog/$1_$copy.mid" "$work/cli/$1_$copy.mid" ||
      fail "${2:-}$1_$copy.mid differs from the command line's"
  done
}

mkdir -p "$work/cli" "$work/empty" "$work/one"
: >"$work/empty/pars.bin"
head -c 20 /dev/zero >"$work/one/pars.bin"
song=$work/song.mid
"$make_midi" "$song" 150 7

# --- Start-up messages: the main window never maps, the log is untouched.
launch nomidi "$work/empty/pars.bin"
check "no-MIDI message" "$(message_box)" "midi dosyalarınızı uygulama klasörüne taşıyın."
ends_well "no-MIDI exit"
log_size "no-MIDI log" 0
launch nolog "$song"
check "no-pars.bin message" "$(message_box)" " pars.bin dosyası bulunamadı."
ends_well "no-pars.bin exit"
grep -q "sürüm" "$work/stderr" && fail "start-up printed about the window"
xdotool search --name "sürüm" >/dev/null 2>&1 && fail "a main window was created"

# --- The window itself.
launch main "$song" "$work/empty/pars.bin"
main_window || { fail "no main window"; cat "$work/stderr"; exit 1; }
check "_NET_WM_NAME" "$(xprop -id "$w" _NET_WM_NAME | sed 's/^[^=]*= //')" '"Ezgitar sürüm 5"'
check "WM_NAME" "$(xprop -id "$w" WM_NAME | sed 's/^[^=]*= //')" '"Ezgitar sürüm 5"'
check "client size" "$(xwininfo -id "$w" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')" 367x466
import -window "$w" "$work/start.png"
check "background" "$(pixel "$work/start.png" 5 5)" 255,128,0
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
strip_of() { convert "$1" -crop 50x235+288+37 +repage rgb:- | md5sum; }

# A split writes what the command line writes; an arrow key closes the strip.
split_first
for _ in $(seq 100); do [ -e "$prog/song_24.mid" ] && break; sleep 0.05; done
sleep 0.3
"$cli" split -q -o "$work/cli" "$song"
same_as_cli song
import -window "$w" "$work/split.png"
[ "$(strip_of "$work/split.png")" != "$(strip_of "$work/start.png")" ] || fail "the split did not move the strip"
# Start has the focus; Tab reaches the list without changing its selection.
xdotool windowfocus --sync "$w"; xdotool key Tab; sleep 0.1; xdotool key Down
sleep 0.3
import -window "$w" "$work/down.png"
check "strip after Down" "$(strip_of "$work/down.png")" "$(strip_of "$work/start.png")"
# Ctrl+click takes the selection away: Start asks for one.
xdotool keydown ctrl; click "$w" 60 78; xdotool keyup ctrl
click "$w" 160 388
check "no selection" "$(message_box)" "Bir dosya seçin."
[ -e "$prog/song_13_13.mid" ] && fail "Start split a deselected entry"
"$send_close" "$w"
ends_well "closed"
log_size "run log" 20

# --- A close request, SIGTERM and SIGHUP in the middle of a long split (20,000
# packets): the program ends at once, with both copies whole and its record.
long=$work/long.mid
"$make_midi" "$long" 240000 3
"$cli" split -q -o "$work/cli" "$long"
for how in close term hup; do
  launch "long-$how" "$long" "$work/one/pars.bin"
  main_window || { fail "$how: no main window"; continue; }
  split_first
  sleep 0.5
  [ -e "$prog/long_13.mid" ] && fail "$how: the split was over before the request"
  case $how in close) "$send_close" "$w" ;; term) kill -TERM "$pid" ;; hup) kill -HUP "$pid" ;; esac
  ends_well "$how: ends within 5 s"
  same_as_cli long "$how: "
  log_size "$how: run log" 40
done

if [ "$failures" -ne 0 ]; then
  echo "--- program's standard error:"; cat "$work/stderr"
  echo "$failures check(s) failed"
  exit 1
fi
echo "real window: all checks passed"
