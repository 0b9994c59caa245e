#!/usr/bin/env bash
# Makes the README's screenshot from the real program: the window on a virtual X server
# (Xvfb, no window manager, so no frame), the sample picture opened through the open
# dialog with xdotool and made smaller three times, the window's area captured with
# ImageMagick.
# Usage: scripts/screenshot.sh [output.png]   (default: docs/screenshots/window.png)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
out=$(realpath -m "${1:-$root/docs/screenshots/window.png}")
"$root/scripts/install-missing.sh" xvfb xauth xdotool imagemagick fonts-dejavu-core
[[ -x $build/src/app/tavelix ]] || "$root/scripts/setup.sh" release
mkdir -p "$(dirname "$out")"

export TAVELIX=$build/src/app/tavelix SAMPLES=$root/samples OUT=$out
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -euo pipefail
    cd "$SAMPLES"
    "$TAVELIX" 2>/dev/null &
    app=$!
    trap "kill $app 2>/dev/null" EXIT
    sleep 2
    xdotool key ctrl+o
    sleep 1.5
    xdotool type --delay 20 sample.jpg
    xdotool key Return
    sleep 1.5
    for step in 1 2 3; do xdotool key alt+s; sleep 0.3; done   # three times "10% Smaller"
    window=$(xdotool search --name "^Tavelix-sample" | head -1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # the hint of the "Unscramble=Assemble" button, as the pointer rests on it
    xdotool mousemove $((X + 375)) $((Y + 34))
    sleep 1.8
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$OUT"
'
echo "written: $out"
