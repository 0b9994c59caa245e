#!/usr/bin/env bash
# Builds the photo corpus of bench/compare.sh: the 20 real photographs named in corpus.tsv
# (beside this script; each ships in a Debian package, with its checksum), and each cut to
# 1280 x 1024 as JPEG and as BMP. Missing packages are installed (as root, or through sudo).
#
# Layout of $CORPUS (default: tavelix-corpus in the temporary folder):
#   orig/ID.jpg   the photograph, byte for byte
#   q90/ID.jpg    scaled to cover 1280 x 1024 and cut to it around the centre (ImageMagick),
#                 then encoded by cjpeg as baseline JPEG at quality 90 with the library's
#                 defaults (4:2:0, standard tables)
#   bmp/ID.bmp    q90/ID.jpg decoded by djpeg into a 24-bit BMP (the same pixels)
#   MANIFEST.tsv  corpus.tsv with the checksum found; written last, so it marks a whole corpus
#
# Usage: bench/make-corpus.sh [--force]   (--force builds again a corpus that is complete)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
list=$here/corpus.tsv
CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}
[[ ${1:-} == --force ]] && rm -f "$CORPUS/MANIFEST.tsv"

log() { printf '%s\n' "$*" >&2; }

mapfile -t photos < <(grep -v '^#' "$list" | grep -v '^$')
if [[ -f $CORPUS/MANIFEST.tsv ]]; then
    log "corpus complete in $CORPUS (${#photos[@]} photographs); --force builds it again"
    exit 0
fi

packages=(libjpeg-turbo-progs imagemagick)
for line in "${photos[@]}"; do packages+=("$(cut -f2 <<<"$line")"); done
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | sort -u)
"$here/../scripts/install-missing.sh" "${packages[@]}"
# ImageMagick's own program, not a wrapper of the same name that may stand earlier in PATH.
im_convert=$(command -v convert-im6.q16 || command -v convert)

mkdir -p "$CORPUS"/{orig,q90,bmp}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '# id\tpackage\tfile\tsha256 found\tas listed\n' > "$work/MANIFEST.tsv"
for line in "${photos[@]}"; do
    IFS=$'\t' read -r id package file sha <<<"$line"
    source=$(dpkg -L "$package" | grep -F -- "/$file" | grep -E -- "/${file//./\\.}\$" | head -n 1 || true)
    [[ -n $source && -f $source ]] || { log "error: $file is not in package $package"; exit 1; }
    found=$(sha256sum "$source" | cut -c1-64)
    same=yes
    if [[ $found != "$sha" ]]; then
        same=no
        log "warning: $id is not the photograph listed (another version of $package?); figures may differ"
    fi
    cp -f "$source" "$CORPUS/orig/$id.jpg"
    "$im_convert" "$source" -resize '1280x1024^' -gravity center -extent 1280x1024 "ppm:$work/$id.ppm"
    cjpeg -quality 90 -baseline -outfile "$CORPUS/q90/$id.jpg" "$work/$id.ppm"
    djpeg -bmp -outfile "$CORPUS/bmp/$id.bmp" "$CORPUS/q90/$id.jpg"
    rm -f "$work/$id.ppm"
    printf '%s\t%s\t%s\t%s\t%s\n' "$id" "$package" "$file" "$found" "$same" >> "$work/MANIFEST.tsv"
    log "  $id"
done

# Every cut is a 1280 x 1024 24-bit bitmap: 54 bytes of headers and 3,932,160 of pixels.
for f in "$CORPUS"/bmp/*.bmp; do
    size=$(stat -c %s "$f")
    ((size == 54 + 1280 * 1024 * 3)) || { log "error: $f has $size bytes, not a 1280x1024 24-bit BMP"; exit 1; }
done
mv "$work/MANIFEST.tsv" "$CORPUS/MANIFEST.tsv"
log "corpus ready in $CORPUS: ${#photos[@]} photographs, $(du -sh "$CORPUS" | cut -f1)"
