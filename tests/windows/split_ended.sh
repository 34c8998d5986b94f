#!/usr/bin/env bash
# Ctrl+C in the middle of a split under Wine: the pair is replaced whole or
# not at all, no temporary is left, and the run ends as Windows ends a
# program on Ctrl+C (0xC000013A, whose low byte is the status seen here).
#   control_c.sh WINDOWS_CLI WINDOWS_MAKE_MIDI
set -uo pipefail
set -m  # the run in the background must not ignore SIGINT, as jobs do
cli=$1 make_midi=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
# Large enough that the split takes seconds, so Ctrl+C lands inside it.
wine "$make_midi" lang.mid 150000000 3 || exit 1
printf 'old 13' > lang_13.mid
printf 'old 24' > lang_24.mid

wine "$cli" split lang.mid > /dev/null 2>&1 &
run=$!
# Polled with a deadline: the temporaries show that the copies are under way.
deadline=$((SECONDS + 60))
until ls -A | grep -q '^\.ezg-'; do
  if [ $SECONDS -ge $deadline ] || ! kill -0 $run 2>/dev/null; then
    echo "the split never showed its temporaries"
    exit 1
  fi
  sleep 0.01
done
kill -INT $run
wait $run
status=$?

fail=0
if [ $status -ne $((0xC000013A & 0xFF)) ]; then echo "exit status $status"; fail=1; fi
left=$(ls -A | grep '^\.ezg-')
if [ -n "$left" ]; then echo "temporaries left: $left"; fail=1; fi
# Both old, or both new: never one of each.
old=$(cat lang_13.mid lang_24.mid 2>/dev/null | head -c 12)
if [ "$old" != "old 13old 24" ] && { cmp -s lang.mid lang_13.mid || [ "$(stat -c %s lang_13.mid)" != "$(stat -c %s lang.mid)" ] ||
  [ "$(stat -c %s lang_24.mid)" != "$(stat -c %s lang.mid)" ]; }; then
  echo "the pair is half replaced: $(stat -c '%n %s' lang_13.mid lang_24.mid | tr '\n' ' ')"
  fail=1
fi
exit $fail
