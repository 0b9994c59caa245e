#!/usr/bin/env bash
# Sets up (packages, configure, build of the program alone in build/, no test frameworks),
# then shows the main job on the sample picture shipped in samples/: a copy is scrambled with
# a password and assembled again.
# Usage: scripts/run.sh [output-folder]   (default: out/demo)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
"$root/scripts/setup.sh" release

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

cat <<TEXT

The sample picture:   $sample
scrambled copy:       $out/scrambled.jpg
assembled again:      $out/assembled.jpg
                      (shows the losses of saving a scrambled picture as JPEG)
as bitmaps:           $out/scrambled.bmp and $out/assembled.bmp,
                      the assembled one $same to $out/sample.bmp
password:             "$password"

Try it on your own pictures: $cli --help
TEXT
