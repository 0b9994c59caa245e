#!/usr/bin/env bash
# Makes the screenshots of the README and docs/window.md from the real program on a virtual X
# server (Xvfb, no window manager, so no window frames), driven with xdotool and captured with
# ImageMagick:
#   window.png  the sample picture opened through the open dialog, made smaller three times,
#               with a toolbar hint
#   about.png   the about box (F1) over the window with the sample picture
#   clip.png    a clip frame dragged over the sample picture, the mouse button held
#   show.png    the autoshow of three pictures (the sample, a scrambled and a black-and-white
#               copy made with tavelix-cli) with its menu, as the show starts
#   batch.png   "Scramble on disk" over 120 pictures of 1280 x 1024, in progress
# Usage: scripts/screenshot.sh [--only "window about ..."] [folder]   (default: docs/screenshots)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
shots="window about clip show batch"
if [[ ${1:-} == --only ]]; then
    shots=$2
    shift 2
fi
for shot in $shots; do
    [[ " window about clip show batch " == *" $shot "* ]] || { echo "screenshot.sh: no shot named $shot" >&2; exit 2; }
done
out=$(realpath -m "${1:-$root/docs/screenshots}")
"$root/scripts/install-missing.sh" xvfb xauth xdotool imagemagick fonts-dejavu-core
[[ -x $build/src/app/tavelix && -x $build/src/cli/tavelix-cli ]] || "$root/scripts/setup.sh" release
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pictures: the sample, copies made by the companion, and 120 large ones for the batch.
im_convert=$(command -v convert-im6.q16 || command -v convert)
cli=$build/src/cli/tavelix-cli
cp "$root/samples/sample.jpg" "$work/sample.jpg"
cp "$work/sample.jpg" "$work/scrambled.jpg"
printf 'screenshot password\n' > "$work/password"
"$cli" scramble -j 1 --password-file "$work/password" "$work/scrambled.jpg"
"$cli" gray "$work/sample.jpg" "$work/gray.jpg"
if [[ " $shots " == *" batch "* ]]; then
    mkdir -p "$work/batch"
    "$im_convert" "$work/sample.jpg" -resize '1280x1024!' -quality 90 "$work/batch/b000.jpg"
    for i in $(seq 1 119); do cp "$work/batch/b000.jpg" "$work/batch/b$(printf %03d "$i").jpg"; done
fi

export TAVELIX=$build/src/app/tavelix WORK=$work OUT=$out IM_CONVERT=$im_convert SHOTS=" $shots "
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -euo pipefail
    cd "$WORK"
    start() {
        "$TAVELIX" 2>/dev/null &
        app=$!
        sleep 2
    }
    stop() { kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; }
    trap stop EXIT
    main_window() { xdotool search --onlyvisible --name "^(Tavelix-|Clipsize)" | head -1; }
    open() {  # typed into the open dialog: one name, or several in quotes
        xdotool key ctrl+o
        sleep 1.5
        xdotool type --delay 20 "$1"
        xdotool key Return
        sleep 1.5
    }
    capture() {  # file: the main window area
        eval "$(xdotool getwindowgeometry --shell "$(main_window)")"
        import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
    }
    wanted() { [[ $SHOTS == *" $1 "* ]]; }

    # The window with a picture and a hint.
    if wanted window; then
    start
    open sample.jpg
    for step in 1 2 3; do xdotool key alt+s; sleep 0.3; done   # three times "10% Smaller"
    eval "$(xdotool getwindowgeometry --shell "$(main_window)")"
    xdotool mousemove $((X + 375)) $((Y + 34))   # over "Unscramble=Assemble"
    sleep 1.8
    capture "$OUT/window.png"
    stop
    fi

    # The about box over the window with the sample picture: both, and what lies between.
    if wanted about; then
    start
    open sample.jpg
    xdotool key F1
    sleep 1
    about=$(xdotool search --onlyvisible --name "^About " | head -1)
    eval "$(xdotool getwindowgeometry --shell "$(main_window)")"
    left=$X top=$Y right=$((X + WIDTH)) bottom=$((Y + HEIGHT))
    eval "$(xdotool getwindowgeometry --shell "$about")"
    left=$((X < left ? X : left)) top=$((Y < top ? Y : top))
    right=$((X + WIDTH > right ? X + WIDTH : right)) bottom=$((Y + HEIGHT > bottom ? Y + HEIGHT : bottom))
    import -window root -crop "$((right - left))x$((bottom - top))+${left}+${top}" +repage "$OUT/about.png"
    stop
    fi

    # A clip frame, the button held; the picture sits at the top-left, below the toolbar.
    if wanted clip; then
    start
    open sample.jpg
    eval "$(xdotool getwindowgeometry --shell "$(main_window)")"
    top=$((Y + 49))
    xdotool mousemove $((X + 520)) $((top + 110)) mousedown 1
    for i in $(seq 1 20); do xdotool mousemove $((X + 520 + i * 18)) $((top + 110 + i * 15)); sleep 0.03; done
    sleep 0.5
    capture "$OUT/clip.png"
    xdotool mouseup 1
    sleep 0.8
    xdotool key Escape   # "Take clip as new picture?": Cancel
    sleep 0.5
    stop
    fi

    # The show of three pictures with its menu at the centre, full screen.
    if wanted show; then
    start
    open "\"sample.jpg\" \"scrambled.jpg\" \"gray.jpg\""
    import -window root "$OUT/show.png"
    stop
    fi

    # A batch run in progress: the names typed into the open dialog, then the password.
    if wanted batch; then
    start
    eval "$(xdotool getwindowgeometry --shell "$(main_window)")"
    xdotool mousemove $((X + 14)) $((Y + 9)) click 1   # "File"
    sleep 0.6
    xdotool mousemove $((X + 80)) $((Y + 143)) click 1   # "Scramble on disk"
    sleep 1.5
    xdotool type --delay 10 batch
    xdotool key Return
    sleep 1
    xdotool type --delay 1 "$(cd batch && for f in *.jpg; do printf "\"%s\" " "$f"; done)"
    xdotool key Return
    sleep 1
    xdotool type --delay 10 "screenshot password"
    xdotool key Tab
    xdotool type --delay 10 "screenshot password"
    xdotool key Return
    # the first capture that shows the progress panel (not the black picture area), some way
    # into the run
    sleep 0.6
    for i in $(seq 1 20); do
        sleep 0.15
        capture "$WORK/batch-shot.png"
        eval "$(xdotool getwindowgeometry --shell "$(main_window)")"
        colour=$("$IM_CONVERT" "$WORK/batch-shot.png" -crop 1x1+20+$((HEIGHT - 10)) -format "%[hex:p{0,0}]" info:)
        if [[ $colour != 000000* ]]; then cp "$WORK/batch-shot.png" "$OUT/batch.png"; break; fi
    done
    sleep 3
    stop
    fi
'
for shot in $shots; do ls "$out/$shot.png"; done
