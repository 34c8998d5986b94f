#!/usr/bin/env bash
# The Windows command line under Wine against the Linux one on the same
# generated files, Turkish names and a link among them: every file written,
# every line printed and every exit status must be the same bytes.
# Both speak the language of LANG: C.UTF-8 (English; Wine reads the names
# of files in the charset LANG says), unless a third word names another.
#   same_bytes.sh WINDOWS_CLI LINUX_BUILD [LANG]
set -uo pipefail
win_cli=$1 linux_build=${2:-}
export LANGUAGE= LC_ALL= LC_MESSAGES= LC_NUMERIC= LANG=${3:-C.UTF-8}
linux_cli=$linux_build/cli/ezgitar-cli make_midi=$linux_build/fixtures/make_midi
if [ -z "$linux_build" ] || [ ! -x "$linux_cli" ] || [ ! -x "$make_midi" ]; then
  echo "no Linux build to compare with (EZGITAR_LINUX_BUILD)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/in/gönül"
(
  cd "$work/in" || exit 1
  "$make_midi" "hicaz-şarkı.mid" 3000 7 &&
    "$make_midi" "uşşak peşrevi.mid" 20000 11 &&
    "$make_midi" "gönül/ÇĞİÖŞÜ ney.mid" 5000 3 &&
    "$make_midi" "gönül/kısa.mid" 200 5 &&
    printf 'MThd' > "bozuk.mid" &&
    # A copy's name that is a link: the file it leads to gets the copy,
    # unless it is an input, or the pair's other copy.
    printf 'old' > "gönül/eski.kopya" &&
    ln -s "gönül/eski.kopya" "hicaz-şarkı_24.mid" &&
    ln -s "../hicaz-şarkı.mid" "gönül/ÇĞİÖŞÜ ney_13.mid" &&
    printf 'old 13' > "gönül/kısa_13.mid" &&
    ln -s "kısa_13.mid" "gönül/kısa_24.mid"
) || exit 1

# Each command on both builds, in a copy of the inputs of its own. Paths
# the program joins take the system's separator: "\" on Windows.
run() {
  local side=$1
  shift
  (cd "$work/$side" && "$@" > "$work/$side.out" 2> "$work/$side.err"; echo "exit $?" >> "$work/$side.out")
  [ "$side" = windows ] && sed -i 's|\\|/|g' "$work/$side.out" "$work/$side.err"
}
status=0
for side in linux windows; do cp -r "$work/in" "$work/$side"; done
# One command a line, its words apart by "|".
commands=(
  "split|hicaz-şarkı.mid|gönül|-j|2"
  "report|uşşak peşrevi.mid|gönül/kısa.mid|-o|gönül"
  "test|hicaz-şarkı.mid|gönül|bozuk.mid"
  "report|--decimal-separator|,|hicaz-şarkı_13.mid"
)
for command in "${commands[@]}"; do
  IFS='|' read -ra words <<< "$command"
  run linux "$linux_cli" "${words[@]}"
  run windows wine "$win_cli" "${words[@]}"
  for log in out err; do
    if ! cmp -s "$work/linux.$log" "$work/windows.$log"; then
      echo "ezgitar-cli ${words[*]}: standard $log differs"
      diff "$work/linux.$log" "$work/windows.$log" | head -20
      status=1
    fi
  done
done
if ! diff -r "$work/linux" "$work/windows"; then status=1; fi
if [ ! -L "$work/windows/hicaz-şarkı_24.mid" ] || cmp -s "$work/in/gönül/eski.kopya" "$work/windows/gönül/eski.kopya"; then
  echo "the link was not followed: $(ls -l "$work/windows/hicaz-şarkı_24.mid")"
  status=1
fi
for refused in "gönül/kısa_13.mid" "hicaz-şarkı.mid"; do
  cmp -s "$work/in/$refused" "$work/windows/$refused" || { echo "$refused was written through a link"; status=1; }
done
count=$(find "$work/windows" -name '*_13.mid' -o -name '*.txt' | wc -l)
echo "$count outputs compared"
[ "$count" -eq 6 ] || status=1
exit $status
