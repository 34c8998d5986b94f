#!/usr/bin/env bash
# The Windows command line's language under Wine: Turkish with
# LANG=tr_TR.UTF-8, English with LANG=C, the other variables as gettext has
# them; Turkish numbers; and an installed program folder moved elsewhere
# still finds its catalog beside itself.
#   language.sh WINDOWS_CLI WINDOWS_MAKE_MIDI BUILD
set -uo pipefail
cli=$1 make_midi=$2 build=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
unset LANGUAGE LC_ALL LC_MESSAGES LC_NUMERIC LANG

fail=0
# says ENVIRONMENT EXPECTED ARGS...: the first line of standard error.
says() {
  local env=$1 want=$2
  shift 2
  local got
  got=$(env $env wine "$@" 2>&1 >/dev/null | head -1)
  if [ "$got" != "$want" ]; then
    echo "$env $*: said '$got', not '$want'"
    fail=1
  fi
}
turkish="ezgitar-cli: zqn.mid: böyle bir dosya yok" english="ezgitar-cli: zqn.mid: no such file"
says "LANG=tr_TR.UTF-8" "$turkish" "$cli" test zqn.mid
says "LANG=C" "$english" "$cli" test zqn.mid
says "LC_MESSAGES=tr_TR.UTF-8 LANG=C" "$turkish" "$cli" test zqn.mid
says "LC_ALL=C LANG=tr_TR.UTF-8" "$english" "$cli" test zqn.mid
says "LANGUAGE=tr LANG=C" "$english" "$cli" test zqn.mid
says "LANGUAGE=de LANG=tr_TR.UTF-8" "$english" "$cli" test zqn.mid
says "LANGUAGE=de:tr LANG=tr_TR.UTF-8" "$turkish" "$cli" test zqn.mid
says "LANG=tr_TR.UTF-8" "ezgitar-cli: split: --jobs: 'x', 1 ile 9999 arasında bir tam sayı değil (bkz. 'ezgitar-cli split --help')" \
  "$cli" split -j x zqn.mid
status=$(LANG=tr_TR.UTF-8 wine "$cli" test zqn.mid >/dev/null 2>&1; echo $?)
[ "$status" = 2 ] || { echo "exit status $status in Turkish, not 2"; fail=1; }

help=$(LANG=tr_TR.UTF-8 wine "$cli" --help | head -1)
[ "$help" = "Kullanım: ezgitar-cli KOMUT [SEÇENEKLER] DOSYA|KLASÖR..." ] || { echo "help: $help"; fail=1; }

# Counts in Turkish digit groups, in English plain.
wine "$make_midi" zqk.mid 30000 3 >/dev/null 2>&1 || exit 1
summary=$(LANG=tr_TR.UTF-8 wine "$cli" split zqk.mid 2>/dev/null)
[[ $summary =~ ^zqk\.mid:\ [0-9]\.[0-9]{3}\ perde\ bükümü,\ [0-9]\.[0-9]{3}\ nota\;\  ]] ||
  { echo "Turkish summary: $summary"; fail=1; }
summary=$(LANG=C.UTF-8 wine "$cli" split zqk.mid 2>/dev/null)
[[ $summary =~ ^zqk\.mid:\ [0-9]{4}\ pitch\ bends,\ [0-9]{4}\ notes\;\  ]] ||
  { echo "English summary: $summary"; fail=1; }

# The program folder as installed, then moved: the catalog goes with it.
cmake --install "$build" --prefix "$work/Ezgitar" >/dev/null || exit 1
[ -f "$work/Ezgitar/locale/tr/LC_MESSAGES/ezgitar.mo" ] || { echo "no catalog in the program folder"; fail=1; }
mv "$work/Ezgitar" "$work/Taşındı"
says "LANG=tr_TR.UTF-8" "$turkish" "$work/Taşındı/ezgitar-cli.exe" test zqn.mid
exit $fail
