#!/usr/bin/env bash
# Runs the window's test suites natively on Wayland: under weston, on a virtual X server of
# its own (weston's X11 backend gives the compositor a keyboard and a pointer; its headless
# backend gives none, and Qt's Wayland client cannot draw a text field's cursor without
# them), with Qt's Wayland platform. Skips (status 77) with a line saying what is missing.
#
# Usage: tests/ui/wayland.sh TEST_PROGRAM [ARGUMENTS...]
set -uo pipefail

skip() { printf 'SKIPPED: %s\n' "$*"; exit 77; }

# Inside the virtual X server (the script calls itself there): weston on it, the tests on
# weston.
if [[ ${1:-} == --inside ]]; then
    shift
    weston --backend=x11-backend.so --width=1280 --height=1024 --socket="$WAYLAND_DISPLAY" \
        --idle-time=0 --no-config >"$XDG_RUNTIME_DIR/weston.log" 2>&1 &
    weston=$!
    for ((i = 0; i < 100; ++i)); do
        [[ -S $XDG_RUNTIME_DIR/$WAYLAND_DISPLAY ]] && grep -q "launching" "$XDG_RUNTIME_DIR/weston.log" && break
        kill -0 "$weston" 2>/dev/null || break
        sleep 0.1
    done
    if ! kill -0 "$weston" 2>/dev/null; then
        echo "weston did not start:"
        cat "$XDG_RUNTIME_DIR/weston.log"
        exit 1
    fi
    env -u DISPLAY "$@"
    status=$?
    # The keyboard arrives when the compositor gives it: on a loaded machine a check may come
    # before it. One more run tells a fault (it fails again) from that.
    if ((status != 0)); then
        echo "RETRYING: a check failed on Wayland; running the suites once more to tell a fault from input timing"
        env -u DISPLAY "$@"
        status=$?
    fi
    kill "$weston"
    wait "$weston" 2>/dev/null
    exit $status
fi

program=${1:?usage: wayland.sh TEST_PROGRAM [ARGUMENTS...]}
shift

command -v weston >/dev/null || skip "weston is not installed (Debian package weston)"
command -v xvfb-run >/dev/null || skip "xvfb-run is not installed (Debian packages xvfb, xauth)"
command -v xauth >/dev/null || skip "xauth is not installed (Debian package xauth)"
plugins=$(qtpaths6 --plugin-dir 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
compgen -G "$plugins/platforms/libqwayland-generic.so" >/dev/null ||
    skip "Qt's Wayland platform is not installed (Debian package qt6-wayland)"
weston_backends=$(dirname "$(ldd "$(command -v weston)" | awk '/libweston-/ {print $3; exit}')")
compgen -G "$weston_backends/libweston-*/x11-backend.so" >/dev/null ||
    skip "weston has no X11 backend here"

runtime=$(mktemp -d "${TMPDIR:-/tmp}/tavelix-wayland.XXXXXX") || exit 1
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=tavelix-test
export QT_QPA_PLATFORM=wayland QT_ENABLE_HIGHDPI_SCALING=0
unset DISPLAY
xvfb-run -a -s '-screen 0 1300x1050x24' "$0" --inside "$program" "$@"
