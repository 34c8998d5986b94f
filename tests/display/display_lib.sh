# Shared by the real-window tests (sourced): checks that count failures,
# waits that poll with a deadline, an X display of our own, and looks at the
# main window from outside. The caller sets `work`, a folder of its own.

failures=0
step() { echo "[${SECONDS}s] $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"; }

# Runs a command every 50 ms until it succeeds; false once $1 seconds passed.
until_true() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# No client call may hang the test: each is cut off and, where it sits in a
# poll, tried again.
x() { timeout 10 "$@"; }

# A program folder of its own holding the given files, started from another
# current folder: `prog` is the folder, `pid` the program, its standard
# error in $prog.stderr. The caller sets `program`, the name it is copied
# under, and `launcher`, what runs it (nothing for a native program).
prog='' pid='' program='' launcher=()
launch() {
  prog=$work/$1
  shift
  mkdir -p "$prog" "$work/elsewhere"
  cp "$ezgitar" "$@" "$prog/"
  (cd "$work/elsewhere" && exec "${launcher[@]}" "$prog/$program" 2>"$prog.stderr") &
  pid=$!
}

# A display of our own, $1 the screen's size: the server picks a free
# number and writes it once it takes connections; a client then proves it
# answers.
start_display() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  until_true 20 test -s "$work/display" || { echo "FAIL: the X server did not start"; cat "$work/xvfb.log"; exit 1; }
  export DISPLAY=:$(head -1 "$work/display")
  until_true 20 x xdpyinfo >/dev/null 2>&1 || { echo "FAIL: $DISPLAY does not answer"; exit 1; }
}

# The first visible window with exactly this name, while the program `pid`
# runs.
visible_window() { x xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
find_window() {
  local deadline=$((SECONDS + 20)) found
  while [ "$SECONDS" -lt "$deadline" ]; do
    found=$(visible_window "$1")
    [ -n "$found" ] && { echo "$found"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
# The program ends by itself within $2 seconds (10 unless given), with
# status 0; else it is killed.
ends_well() {
  if ! until_true "${2:-10}" eval '! kill -0 "$pid" 2>/dev/null'; then
    check "$1" running 0
    kill -9 "$pid"
    wait "$pid"
    return
  fi
  wait "$pid"
  check "$1" $? 0
}
log_size() { check "$1" "$(stat -c %s "$prog/pars.bin")" "$2"; }

pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
strip_of() { convert "$1" -crop 50x235+288+37 +repage rgb:- | md5sum; }
# Window $1 into $2, drawn: its background is the window's colour.
shot() { x import -window "$1" "$2" 2>/dev/null && [ "$(pixel "$2" 5 5)" = 255,128,0 ]; }
# The main window is up and painted: `w` is its id.
main_window() { w=$(find_window "Ezgitar sürüm 5") && until_true 10 shot "$w" "$work/probe.png"; }
# The strip shows something other than in $1, or the same, in a new shot.
strip_differs() { shot "$w" "$work/now.png" && [ "$(strip_of "$work/now.png")" != "$(strip_of "$1")" ]; }
strip_same() { shot "$w" "$work/now.png" && [ "$(strip_of "$work/now.png")" = "$(strip_of "$1")" ]; }
focus() { timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null && [ "$(x xdotool getwindowfocus)" = "$1" ]; }
click() { x xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; }
# Selects the first entry and presses Start.
split_first() {
  click "$w" 60 58
  click "$w" 160 388
}
# Both copies of $1 in the program folder are those in $work/cli, which the
# command line wrote, byte for byte.
same_as_cli() {
  for copy in 13 24; do
    cmp -s "$prog/$1_$copy.mid" "$work/cli/$1_$copy.mid" ||
      fail "${2:-}$1_$copy.mid differs from the command line's"
  done
}

# A long split of $long, whose copies the command line wrote to $work/cli,
# stopped in its middle by `stop_split $1`: the program ends at once, with
# both copies whole and its record. The split shows within $2 seconds.
long_split_stopped() {
  step "long split, $1"
  launch "long-$1" "$long" "$work/one/pars.bin"
  main_window || { fail "$1: no main window"; return; }
  cp "$work/probe.png" "$work/long-start.png"
  split_first
  until_true "$2" strip_differs "$work/long-start.png" || fail "$1: the split did not start"
  [ -e "$prog/long_13.mid" ] && fail "$1: the split was over before the request"
  stop_split "$1"
  ends_well "$1: ends within 10 s"
  same_as_cli long "$1: "
  log_size "$1: run log" 40
}

# The verdict, with the programs' standard error after a failure.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "--- programs' standard error:"
    for f in "$work"/*.stderr; do [ -s "$f" ] && { echo "$f:"; cat "$f"; }; done
    echo "$failures check(s) failed"
    exit 1
  fi
  step "$1: all checks passed"
}
