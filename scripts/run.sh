#!/usr/bin/env bash
# Sets up (packages, configure, build of the program alone in build/, no test frameworks),
# then:
# - with a display (DISPLAY or WAYLAND_DISPLAY set): starts the window, tavelix, on the
#   sample picture shipped in samples/;
# - without one: shows the main job with the command-line companion on the sample picture
#   (a copy is scrambled with a password and assembled again), writes screenshots of the
#   window made on a virtual screen (Xvfb) beside it, and says how to start the window.
# Usage: scripts/run.sh [output-folder]   (default: out/demo; for the companion's demo)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
"$root/scripts/setup.sh" release

window=$build/src/app/tavelix
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    echo "Starting the window on the sample picture: $window $root/samples/sample.jpg"
    exec "$window" "$root/samples/sample.jpg"
fi

cli=$build/src/cli/tavelix-cli
out=${1:-$root/out/demo}
mkdir -p "$out"
sample=$root/samples/sample.jpg
# A demonstration password, handed over on standard input: never on a command line.
password='Tavelix demo 2024'

cp "$sample" "$out/scrambled.jpg"
printf '%s\n' "$password" | "$cli" scramble --password-stdin -v "$out/scrambled.jpg"
cp "$out/scrambled.jpg" "$out/assembled.jpg"
printf '%s\n' "$password" | "$cli" assemble --password-stdin -v "$out/assembled.jpg"

# The same as a bitmap, which is saved without losses: it comes back byte for byte.
"$cli" convert --force "$sample" "$out/sample.bmp"  # --force: a run before left one
cp "$out/sample.bmp" "$out/scrambled.bmp"
printf '%s\n' "$password" | "$cli" scramble --password-stdin "$out/scrambled.bmp"
cp "$out/scrambled.bmp" "$out/assembled.bmp"
printf '%s\n' "$password" | "$cli" assemble --password-stdin "$out/assembled.bmp"
if cmp -s "$out/sample.bmp" "$out/assembled.bmp"; then same="identical"; else same="NOT identical"; fi

# What the window looks like, from the real program on a virtual screen.
echo "Making screenshots of the window on a virtual screen (Xvfb); installs xvfb, xauth, xdotool and imagemagick when missing..."
if "$root/scripts/screenshot.sh" --only "window about show" "$out/screenshots" >"$out/screenshots.log" 2>&1; then
    shots="$out/screenshots/window.png, about.png and show.png"
else
    shots="none: the virtual screen failed, see $out/screenshots.log"
fi

cat <<TEXT

The sample picture:   $sample
scrambled copy:       $out/scrambled.jpg
assembled again:      $out/assembled.jpg
                      (shows the losses of saving a scrambled picture as JPEG)
as bitmaps:           $out/scrambled.bmp and $out/assembled.bmp,
                      the assembled one $same to $out/sample.bmp
password:             "$password"
the window:           $shots

Try it on your own pictures: $cli --help

No display was found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window was not
started. To use it, run scripts/run.sh again in a desktop session, or start it directly:
    $window
On a machine without a screen, a virtual one works too (packages xvfb and xauth):
    xvfb-run -s "-screen 0 1280x1024x24" $window
TEXT
