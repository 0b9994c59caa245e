#!/usr/bin/env bash
# tavelix-cli in German and in English: the program and its catalogue laid out as an installed
# tree (bin/, share/locale/), run with a German locale and with LANG=C. Skips (status 77) with
# a line saying what is missing when the system has no German locale.
#
# Usage: tests/cli/german.sh TAVELIX_CLI MO_FILE WORK_DIR
set -uo pipefail

skip() { printf 'SKIPPED: %s\n' "$*"; exit 77; }
locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8' ||
    skip "no de_DE.UTF-8 locale (generate it: scripts/setup.sh developer, or locale-gen de_DE.UTF-8)"

program=$1 mo=$2 work=$3
rm -rf "$work"
mkdir -p "$work/tree/bin" "$work/tree/share/locale/de/LC_MESSAGES" || exit 1
cp "$program" "$work/tree/bin/tavelix-cli" && cp "$mo" "$work/tree/share/locale/de/LC_MESSAGES/" || exit 1
cd "$work" || exit 1
printf 'short\n' >short.txt
printf 'not a picture\n' >notes.txt

failures=0
# expect LANG STATUS TEXT ARGUMENTS...: the run exits with STATUS and says TEXT (on either stream).
expect() {
    local lang=$1 status=$2 text=$3
    shift 3
    local said got
    said=$(env -u LC_ALL -u LC_MESSAGES LANG="$lang" LANGUAGE=de tree/bin/tavelix-cli "$@" 2>&1)
    got=$?
    if [[ $got != "$status" || $said != *"$text"* ]]; then
        printf 'FAILED: LANG=%s tavelix-cli %s\n  expected status %s and: %s\n  got status %s and: %s\n' \
            "$lang" "$*" "$status" "$text" "$got" "$said"
        failures=$((failures + 1))
    fi
}

for lang in de_DE.UTF-8 C; do
    if [[ $lang == C ]]; then
        # LANG=C: the English texts, whatever LANGUAGE asks for.
        expect C 2 "tavelix-cli: the password must be 8 to 50 characters long, not 5; nothing was changed" \
            scramble --password-file short.txt -- photo.jpg
        expect C 1 "tavelix-cli: notes.txt: skipped: not a .jpg, .bmp, .png, .heic, .heif or .webp file" check notes.txt
        expect C 0 "assemble photo.jpg (in place)" assemble -n --password-file short.txt -- photo.jpg
        expect C 0 "scramble each FILE in place with a password" --help
    else
        expect "$lang" 2 "tavelix-cli: das Passwort muss 8 bis 50 Zeichen lang sein, nicht 5; nichts wurde geändert" \
            scramble --password-file short.txt -- photo.jpg
        expect "$lang" 1 "tavelix-cli: notes.txt: übersprungen: keine Datei auf .jpg, .bmp, .png, .heic, .heif oder .webp" \
            check notes.txt
        expect "$lang" 0 "assemble photo.jpg (an Ort und Stelle)" assemble -n --password-file short.txt -- photo.jpg
        expect "$lang" 0 "jede FILE an Ort und Stelle mit einem Passwort verwürfeln" --help
    fi
done
((failures == 0)) || exit 1
echo "tavelix-cli speaks German under de_DE.UTF-8 and English under LANG=C"
