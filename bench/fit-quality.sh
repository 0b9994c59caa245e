#!/usr/bin/env bash
# How closely --fit (a picture over the pixel limit reduced to the largest size within it, each
# new pixel the mean of the area it covers) matches a reference resize, over the originals of
# the photo corpus (bench/make-corpus.sh: photographs of 1.5 to 20 megapixels). The reference
# is ImageMagick's -scale to the same size, which averages areas the same way (parts of pixels
# in proportion). For comparison, against the same reference: ImageMagick's -filter Box -resize
# (which weighs the pixels whose centres fall in the area, each whole) and -sample (every n-th
# pixel, as "10% Smaller" takes them: what aliases). All on 24-bit BMPs: no JPEG loss enters.
#
# Usage: bench/fit-quality.sh   BUILD names the build folder with src/cli/tavelix-cli (default
# build/, configured with the release preset when missing). Needs ImageMagick (installed when
# missing).
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$root/build}
cli=$build/src/cli/tavelix-cli
export CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}

"$root/scripts/install-missing.sh" imagemagick
im_convert=$(command -v convert-im6.q16 || command -v convert)
im_compare=$(command -v compare-im6.q16 || command -v compare)
"$root/bench/make-corpus.sh" >&2
if [[ ! -x $cli ]]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVELIX_DEVELOPER=OFF >/dev/null
fi
cmake --build "$build" --target tavelix-cli -j 2 >/dev/null

work=$(mktemp -d "$build/fit-quality.XXXXXX")
trap 'rm -rf "$work"' EXIT
psnr() { "$im_compare" -metric PSNR "$1" "$2" null: 2>&1 || true; }

printf '%-16s %10s %10s %12s %12s %12s\n' picture original fitted "--fit" "Box resize" "-sample"
fits=() boxes=() samples=()
for original in "$CORPUS"/orig/*.jpg; do
    name=$(basename "$original" .jpg)
    "$im_convert" "$original" "$work/full.bmp"
    read -r w h < <("$im_convert" "$work/full.bmp" -format '%w %h\n' info:)
    ((w * h > 1310720)) || continue
    "$cli" convert --fit --force "$work/full.bmp" "$work/fit.bmp" 2>/dev/null
    read -r fw fh < <("$im_convert" "$work/fit.bmp" -format '%w %h\n' info:)
    "$im_convert" "$work/full.bmp" -scale "${fw}x${fh}!" "BMP3:$work/reference.bmp"
    "$im_convert" "$work/full.bmp" -filter Box -resize "${fw}x${fh}!" "BMP3:$work/box.bmp"
    "$im_convert" "$work/full.bmp" -sample "${fw}x${fh}!" "BMP3:$work/sample.bmp"
    fit=$(psnr "$work/fit.bmp" "$work/reference.bmp") box=$(psnr "$work/box.bmp" "$work/reference.bmp")
    sample=$(psnr "$work/sample.bmp" "$work/reference.bmp")
    [[ $fit == inf ]] && fit=99  # identical: shown as 99 dB
    fits+=("$fit") boxes+=("$box") samples+=("$sample")
    printf '%-16s %10s %10s %9.2f dB %9.2f dB %9.2f dB\n' "$name" "${w}x${h}" "${fw}x${fh}" "$fit" "$box" "$sample"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf '%-38s %9.2f dB %9.2f dB %9.2f dB\n' "median (${#fits[@]} pictures), PSNR vs -scale" "$(median "${fits[@]}")" \
    "$(median "${boxes[@]}")" "$(median "${samples[@]}")"
