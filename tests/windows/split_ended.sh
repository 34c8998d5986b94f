#!/usr/bin/env bash
# A split under Wine ended midway, twice:
# - by Ctrl+C: the pair is replaced whole or not at all, no temporary is
#   left, and the run ends as Windows ends a program on Ctrl+C (0xC000013A,
#   whose low byte is the status seen here);
# - killed outright, as the task manager ends a program: each copy is
#   whole, and the temporaries, marked for deletion, go with the program.
#   split_ended.sh WINDOWS_CLI WINDOWS_MAKE_MIDI
set -uo pipefail
set -m  # the run in the background must not ignore SIGINT, as jobs do
cli=$1 make_midi=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
# Large enough that the split takes seconds, so the end lands inside it.
wine "$make_midi" lang.mid 150000000 3 || exit 1
wine "$make_midi" short.mid 200 3 || exit 1

fail=0
ours() { ls -A | grep -E '^\.ezgitar-'; }
# Both old, or both new: never one of each.
check_pair() {
  local old
  old=$(cat lang_13.mid lang_24.mid 2>/dev/null | head -c 12)
  if [ "$old" != "old 13old 24" ] && { cmp -s lang.mid lang_13.mid || [ "$(stat -c %s lang_13.mid)" != "$(stat -c %s lang.mid)" ] ||
    [ "$(stat -c %s lang_24.mid)" != "$(stat -c %s lang.mid)" ]; }; then
    echo "$1: the pair is half replaced: $(stat -c '%n %s' lang_13.mid lang_24.mid | tr '\n' ' ')"
    fail=1
  fi
}

for signal in INT KILL; do
  printf 'old 13' > lang_13.mid
  printf 'old 24' > lang_24.mid
  wine "$cli" split lang.mid > /dev/null 2>&1 &
  run=$!
  # Polled with a deadline: the temporaries show that the copies are under way.
  deadline=$((SECONDS + 60))
  until ours | grep -q .; do
    if [ $SECONDS -ge $deadline ] || ! kill -0 $run 2>/dev/null; then
      echo "$signal: the split never showed its temporaries"
      exit 1
    fi
    sleep 0.01
  done
  kill -$signal $run
  wait $run
  status=$?
  if [ $signal = INT ]; then
    if [ $status -ne $((0xC000013A & 0xFF)) ]; then echo "INT: exit status $status"; fail=1; fi
  fi
  # Wine's server closes a killed program's files just after it is gone.
  deadline=$((SECONDS + 20))
  while ours | grep -q . && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  left=$(ours)
  if [ -n "$left" ]; then echo "$signal: left behind: $left"; fail=1; fi
  check_pair $signal
done
exit $fail
