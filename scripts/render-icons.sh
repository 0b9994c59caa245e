#!/usr/bin/env bash
# Renders the checked-in PNG icons from the two SVG drawings in data/icons/: the small drawing
# (whole pixels) for 16 to 24 pixels, the full one above. Run it after changing a drawing; the
# build itself only copies the PNGs, so it needs no SVG renderer. Installs librsvg2-bin when missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
icons=$root/data/icons
"$root/scripts/install-missing.sh" librsvg2-bin
for size in 16 22 24 32 48 64 128 256; do
    if ((size <= 24)); then drawing=tavelix-small.svg; else drawing=tavelix.svg; fi
    mkdir -p "$icons/hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$icons/$drawing" -o "$icons/hicolor/${size}x${size}/apps/tavelix.png"
done
echo "icons written under $icons/hicolor"
