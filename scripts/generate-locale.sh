#!/usr/bin/env bash
# Generates the given locales (such as de_DE.UTF-8) with Debian's locale-gen, as root or
# through sudo. Usage: scripts/generate-locale.sh LOCALE...
set -euo pipefail
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "error: not root and no sudo; generate the locales: $*" >&2; exit 1; }
    as_root=(sudo)
fi
for name in "$@"; do
    line="$name ${name#*.}"
    if grep -qx "# *$line" /etc/locale.gen; then
        "${as_root[@]}" sed -i "s/^# *$line\$/$line/" /etc/locale.gen
    elif ! grep -qx "$line" /etc/locale.gen; then
        echo "$line" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    fi
done
"${as_root[@]}" locale-gen >&2
