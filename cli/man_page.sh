#!/usr/bin/env bash
# Makes the manual page of ezgitar-cli in one language from the program's
# own --help and --version, with help2man:
#   man_page.sh HELP2MAN PROGRAM CATALOGS LOCALE OUTPUT
# LOCALE is C for English. The few words help2man adds itself (the line
# under the name, the section names) come from the program's catalog too,
# through gettext(1), so po/ stays the one source of the words.
set -euo pipefail
help2man=$1 program=$2 catalogs=$3 locale=$4 output=$5

export LANGUAGE= LC_ALL=$locale TEXTDOMAIN=ezgitar TEXTDOMAINDIR=$catalogs
english="practice copies, byte reports and delta-time checks of MIDI files"
# TRANSLATORS: the line under the program's name at the top of its manual.
name=$(gettext "practice copies, byte reports and delta-time checks of MIDI files")
if [ "$locale" != C ] && [ "$name" = "$english" ]; then
  echo "man_page.sh: no words in $locale; is that locale generated? (tools/install-deps makes it)" >&2
  exit 1
fi

# help2man finds the synopsis and the options by their English headings:
# the program it runs says them in English, and the page gets them back in
# the language afterwards.
usage=$(gettext "Usage:") or=$(gettext "or:") options=$(gettext "Options:")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/ezgitar-cli" <<WRAPPER
#!/usr/bin/env bash
set -o pipefail
"$program" "\$@" | sed -e 's/^$usage /Usage: /' -e 's/^  $or  /  or:  /' -e 's/^$options\$/Options:/'
WRAPPER
chmod +x "$work/ezgitar-cli"

mkdir -p "$(dirname "$output")"
# The name goes in afterwards: help2man would read its bytes as ASCII.
"$help2man" --no-info --no-discard-stderr --locale="$locale" --name=@NAME@ --output="$output.tmp" "$work/ezgitar-cli"
roff_name=$(printf '%s' "$name" | sed 's/-/\\\\-/g')
# TRANSLATORS: the section names of the manual page, and its kind.
sed -e "s|@NAME@|$roff_name|" \
    -e "s/^\\.SH NAME\$/.SH \"$(gettext "NAME")\"/" \
    -e "s/^\\.SH SYNOPSIS\$/.SH \"$(gettext "SYNOPSIS")\"/" \
    -e "s/^\\.SH DESCRIPTION\$/.SH \"$(gettext "DESCRIPTION")\"/" \
    -e "s/^\\.SH OPTIONS\$/.SH \"$(gettext "OPTIONS")\"/" \
    -e "s/\"User Commands\"\$/\"$(gettext "User Commands")\"/" \
    "$output.tmp" > "$output"
rm -f "$output.tmp"
