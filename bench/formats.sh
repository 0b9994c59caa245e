#!/usr/bin/env bash
# PNG against BMP and JPEG at quality 90 on the photo corpus, all three written by tavelix-cli
# from the same pixels (the corpus's 1280 x 1024 bitmaps): bytes per picture, the time of
# `scramble` over all the files of a format (median of the rounds, and its ratio to BMP's in
# each round, the formats taking turns so that a drift of the machine's speed hits all alike),
# and the PSNR against the original pixels after scramble and assemble (median over the
# photographs; ImageMagick's compare). At 1280 x 1024, 2 columns at the right and 4 rows at
# the bottom belong to no strip and stay scrambled, so even a lossless format is not infinite.
#
# Usage: bench/formats.sh [rounds]     (default 5; or ROUNDS=n)
# Needs: a build of tavelix-cli (made here when missing), the photo corpus (bench/make-corpus.sh
# builds it in $CORPUS, default tavelix-corpus in the temporary folder), ImageMagick.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-${ROUNDS:-5}}
build=${BUILD:-$root/build}
cli=$build/src/cli/tavelix-cli
export CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}

log() { printf '%s\n' "$*" >&2; }

"$root/scripts/install-missing.sh" imagemagick
im_compare=$(command -v compare-im6.q16 || command -v compare)
"$root/bench/make-corpus.sh" >&2
[[ -x $cli ]] || { log "building tavelix-cli"; cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null; }
cmake --build "$build" --target tavelix-cli -j 2 >/dev/null

work=$(mktemp -d "$build/formats.XXXXXX")
trap 'rm -rf "$work"' EXIT
pw=$work/password
printf 'benchmark password\n' > "$pw"
source "$root/bench/timing.sh"
# timed NAME command...: runs it once, adds its wall time to NAME (in microseconds); what earlier
# commands left for the disk is written first, untimed.
timed() {
    local name=$1
    shift
    sync
    local t0=${EPOCHREALTIME/./}
    "$@" >/dev/null 2>"$work/err" || { log "error: $name failed:"; cat "$work/err" >&2; exit 1; }
    local t1=${EPOCHREALTIME/./}
    times[$name]+="$((t1 - t0)) "
}

formats=(bmp png jpg)
bmps=("$CORPUS"/bmp/*.bmp)
log "corpus: ${#bmps[@]} photographs of 1280x1024; $rounds rounds"

# The pictures in each format, written by tavelix-cli from the corpus's bitmaps.
for f in "${formats[@]}"; do
    mkdir -p "$work/src/$f"
    for b in "${bmps[@]}"; do
        "$cli" convert -q 90 "$b" "$work/src/$f/$(basename "$b" .bmp).$f"
    done
done

# Bytes per picture, and the PSNR after a round trip (scramble, save, load, assemble, save).
declare -A bytes psnr
for f in "${formats[@]}"; do
    bytes[$f]=$(du -b --apparent-size "$work/src/$f" | cut -f1)
    mkdir -p "$work/trip/$f"
    cp "$work/src/$f"/* "$work/trip/$f/"
    "$cli" scramble --no-flush --password-file "$pw" "$work/trip/$f"/* >/dev/null
    "$cli" assemble --no-flush --force --password-file "$pw" "$work/trip/$f"/* >/dev/null
    values=()
    for b in "${bmps[@]}"; do
        v=$("$im_compare" -metric PSNR "$b" "$work/trip/$f/$(basename "$b" .bmp).$f" null: 2>&1 || true)
        values+=("${v%% *}")
    done
    psnr[$f]=$(printf '%s\n' "${values[@]}" | median)
done

# Scramble time: each round scrambles fresh copies of all the files of each format, in turn.
for ((r = 1; r <= rounds; r++)); do
    for f in "${formats[@]}"; do
        rm -rf "$work/run"
        mkdir -p "$work/run"
        cp "$work/src/$f"/* "$work/run/"
        timed "$f" "$cli" scramble -j 1 --no-flush --password-file "$pw" "$work/run"/*
    done
done

n=${#bmps[@]}
printf '\n%-6s %14s %12s %22s %12s %16s\n' format "bytes/picture" "vs BMP" "scramble s/file" "vs BMP" "PSNR after trip"
for f in "${formats[@]}"; do
    per=$((bytes[$f] / n))
    printf '%-6s %14d %12.3f %22.4f %12.2f %13s dB\n' "$f" "$per" \
        "$(awk -v a="${bytes[$f]}" -v b="${bytes[bmp]}" 'BEGIN { print a / b }')" \
        "$(awk -v s="$(seconds "$f")" -v n="$n" 'BEGIN { print s / n }')" "$(ratio "$f" bmp)" "${psnr[$f]}"
done
