#!/usr/bin/env bash
# Runs tests/ui/accessibility.py: the window on a virtual X server, in a D-Bus session of its
# own with the accessibility bus, read through AT-SPI. Skips (status 77) with a line saying
# what is missing.
#
# Usage: tests/ui/accessibility.sh TAVELIX PICTURE
set -uo pipefail

skip() { printf 'SKIPPED: %s\n' "$*"; exit 77; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed (Debian package dbus-daemon)"
command -v xvfb-run >/dev/null || skip "xvfb-run is not installed (Debian packages xvfb, xauth)"
[[ -x /usr/libexec/at-spi-bus-launcher ]] || skip "the accessibility bus is not installed (Debian package at-spi2-core)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "pyatspi is not installed (Debian package python3-pyatspi)"

runtime=$(mktemp -d "${TMPDIR:-/tmp}/tavelix-a11y.XXXXXX") || exit 1
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0
unset WAYLAND_DISPLAY
# (the session bus says it cannot raise its file limit when not run as root: harmless)
dbus-run-session -- xvfb-run -a -s '-screen 0 1280x1024x24' /usr/bin/python3 "$here/accessibility.py" "$@" 2>&1 |
    grep -v 'Failed to set fd limit\|Activating service\|Successfully activated\|SpiRegistry daemon'
exit "${PIPESTATUS[0]}"
