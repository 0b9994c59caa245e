#!/usr/bin/env bash
# Times whole tavelix-cli commands against their peers on a corpus of real photographs and
# prints, for each pair, the median of the per-round ratios (tool time / peer time). The
# rounds are interleaved (tool, peer, tool, peer ...), so a drift of the machine's speed hits
# both sides alike; ratios of one run hold to about 10 %.
#
# Usage: bench/compare.sh [rounds]     (default 5; or ROUNDS=n)
# Needs: a build of tavelix-cli (made here when missing), the photo corpus (bench/make-corpus.sh
# builds it in $CORPUS, default tavelix-corpus in the temporary folder), and the peers from
# Debian: djpeg and cjpeg (libjpeg-turbo-progs), mogrify and convert (imagemagick); missing
# packages are installed (as root, or through sudo).
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-${ROUNDS:-5}}
build=${BUILD:-$root/build}
cli=$build/src/cli/tavelix-cli
export CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}

log() { printf '%s\n' "$*" >&2; }

# --- what is needed -------------------------------------------------------------------------
"$root/scripts/install-missing.sh" libjpeg-turbo-progs imagemagick time  # time: GNU time, for peak memory
# ImageMagick's own programs, not a wrapper of the same name that may stand earlier in PATH.
im_convert=$(command -v convert-im6.q16 || command -v convert)
im_mogrify=$(command -v mogrify-im6.q16 || command -v mogrify)

"$root/bench/make-corpus.sh" >&2
[[ -x $cli ]] || { log "building tavelix-cli"; cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null; }
cmake --build "$build" --target tavelix-cli -j 2 >/dev/null

# The work folder is on the same disk as the build, so that flushing to disk costs what it
# costs there (a memory file system would hide it).
work=$(mktemp -d "$build/compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
pw=$work/password
printf 'benchmark password\n' > "$pw"

q90=("$CORPUS"/q90/*.jpg)
bmps=("$CORPUS"/bmp/*.bmp)
origs=("$CORPUS"/orig/*.jpg)
# The originals, largest first, as the tool starts them; the peers get the same order.
mapfile -t origs < <(ls -S "${origs[@]}")
log "corpus: ${#q90[@]} JPEGs and ${#bmps[@]} BMPs of 1280x1024, ${#origs[@]} originals; $rounds rounds"

# --- timing -------------------------------------------------------------------------------
source "$root/bench/timing.sh"

# Fresh copies of files in a folder of their own (not timed); prints the folder.
fresh() {
    local dir=$work/$1
    shift
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$@" "$dir/"
    printf '%s' "$dir"
}

# timed NAME command...: runs it once, adds its wall time to NAME. What earlier commands left
# for the disk is written first, untimed (saves to new names are not flushed, neither the
# tool's nor the peers', and their write-back must not land in the next command's time).
timed() {
    local name=$1
    shift
    sync
    local t0=${EPOCHREALTIME/./}
    "$@" >/dev/null 2>"$work/err" || { log "error: $name failed:"; cat "$work/err" >&2; exit 1; }
    local t1=${EPOCHREALTIME/./}
    times[$name]+="$((t1 - t0)) "
}

# The peers' jobs, in two streams like the tool's two jobs.
two_streams() {  # command-function files...
    local fn=$1
    shift
    local files=("$@") i
    (for ((i = 0; i < ${#files[@]}; i += 2)); do "$fn" "${files[i]}"; done) &
    (for ((i = 1; i < ${#files[@]}; i += 2)); do "$fn" "${files[i]}"; done) &
    wait
}
recode_jpeg() { djpeg "$1" | cjpeg -quality 90 -outfile "$1.new" && mv -f "$1.new" "$1"; }
decode_only() { djpeg -outfile /dev/null "$1"; }
each() {  # command-function files...: one process per file, one after the other
    local fn=$1 f
    shift
    for f in "$@"; do "$fn" "$f"; done
}

tool_scramble() { local d; d=$(fresh "$1" "${@:3}"); timed "$1" "$cli" scramble $2 --password-file "$pw" "$d"/*; }
tool_assemble() { local d; d=$(fresh "$1" "${@:3}"); timed "$1" "$cli" assemble $2 --password-file "$pw" "$d"/*; }
peer_recode() { local d; d=$(fresh "$1" "${@:2}"); timed "$1" two_streams recode_jpeg "$d"/*; }
peer_mogrify() { local d; d=$(fresh "$1" "${@:2}"); timed "$1" "$im_mogrify" -quality 90 "$d"/*; }
peer_cp() { local d; d=$(fresh "$1-src" "${@:2}"); rm -rf "$work/$1"; mkdir -p "$work/$1"; timed "$1" cp "$d"/* "$work/$1/"; }

# $force is --force while a command writes over the files it wrote before (again, below).
force=
conv_jpg_bmp() { "$cli" convert $force "$1" "$out/$(basename "$1" .jpg).bmp"; }
conv_bmp_jpg() { "$cli" convert $force "$1" "$out/$(basename "$1" .bmp).jpg"; }
conv_jpg_jpg() { "$cli" convert $force "$1" "$out/$(basename "$1")"; }
gray_jpg() { "$cli" gray $force "$1" "$out/$(basename "$1")"; }
djpeg_bmp() { djpeg -bmp -outfile "$out/$(basename "$1" .jpg).bmp" "$1"; }
cjpeg_jpg() { cjpeg -quality 90 -outfile "$out/$(basename "$1" .bmp).jpg" "$1"; }
im_jpg_jpg() { "$im_convert" "$1" -quality 90 "$out/$(basename "$1")"; }
im_gray() { "$im_convert" "$1" -colorspace Gray -quality 90 "$out/$(basename "$1")"; }
one_by_one() {  # name function files...: each file in a process of its own, into a new folder
    local name=$1 fn=$2
    shift 2
    out=$work/$name
    rm -rf "$out"
    mkdir -p "$out"
    timed "$name" each "$fn" "$@"
}
again() {  # name function files...: the same into the folder of the one_by_one before (replacing)
    local name=$1 fn=$2
    shift 2
    force=--force
    timed "$name" each "$fn" "$@"
    force=
}

# reduce NAME FACTOR [REPLACED-NAME]: new copies of the originals; with a third name, the same
# again over the copies just written (replacing files, so flushed).
tool_reduce() {
    local d files
    d=$(fresh "$1" "${origs[@]}")
    files=("$d"/*)
    timed "$1" "$cli" reduce --factor "$2" "${files[@]}"
    [[ -z ${3:-} ]] || timed "$3" "$cli" reduce --force --factor "$2" "${files[@]}"
}
peer_decode() { timed "$1" two_streams decode_only "${origs[@]}"; }
peer_sample() {
    local percent=$((100 / $2))
    rm -rf "$work/$1"
    mkdir -p "$work/$1"
    timed "$1" "$im_mogrify" -path "$work/$1" -sample "$percent%" "${origs[@]}"
}

# What assemble is given: the JPEGs scrambled with the password once (untimed); assembling a
# picture that is not scrambled is refused and writes nothing.
mkdir -p "$work/scrambled-q90"
"$cli" scramble --password-file "$pw" --out-dir "$work/scrambled-q90" "${q90[@]}" >/dev/null
scrambled_q90=("$work"/scrambled-q90/*)

for ((r = 1; r <= rounds; ++r)); do
    log "round $r of $rounds"
    # Scramble and assemble of the 20 JPEGs, default jobs; with flushing (the default) and without.
    tool_scramble scr_jpg "" "${q90[@]}"
    peer_recode recode "${q90[@]}"
    tool_scramble scr_jpg_nf "--no-flush" "${q90[@]}"
    peer_mogrify mogrify "${q90[@]}"
    tool_assemble asm_jpg "" "${scrambled_q90[@]}"
    tool_assemble asm_jpg_nf "--no-flush" "${scrambled_q90[@]}"
    tool_scramble scr_j1 "-j 1 --no-flush" "${q90[@]}"
    tool_scramble scr_j2 "-j 2 --no-flush" "${q90[@]}"
    # Scramble of the 20 BMPs against copying them.
    tool_scramble scr_bmp "" "${bmps[@]}"
    peer_cp cp "${bmps[@]}"
    tool_scramble scr_bmp_nf "--no-flush" "${bmps[@]}"
    # One file at a time (each of the 20 in a process of its own).
    # New files are not flushed; the same again replaces them, which flushes.
    one_by_one conv_jb conv_jpg_bmp "${q90[@]}"
    again conv_jb_re conv_jpg_bmp "${q90[@]}"
    one_by_one djpeg_bmp djpeg_bmp "${q90[@]}"
    one_by_one conv_bj conv_bmp_jpg "${bmps[@]}"
    again conv_bj_re conv_bmp_jpg "${bmps[@]}"
    one_by_one cjpeg cjpeg_jpg "${bmps[@]}"
    one_by_one conv_jj conv_jpg_jpg "${q90[@]}"
    one_by_one im_convert im_jpg_jpg "${q90[@]}"
    one_by_one gray gray_jpg "${q90[@]}"
    again gray_re gray_jpg "${q90[@]}"
    one_by_one im_gray im_gray "${q90[@]}"
    # Reduce the originals, against decoding them (the floor) and ImageMagick's -sample.
    for f in 2 4 8; do
        if ((f == 2)); then tool_reduce reduce2 2 reduce2_re; else tool_reduce "reduce$f" "$f"; fi
        ((f == 2)) && peer_decode decode
        peer_sample "sample$f" "$f"
    done
done

# --- peak memory --------------------------------------------------------------------------
peak_kb() {  # command...: the largest resident size of the run, in KB
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 || { log "error: $*"; exit 1; }
    cat "$work/rss"
}
mem_one=$(d=$(fresh mem1 "${q90[0]}"); peak_kb "$cli" scramble -j 1 --no-flush --password-file "$pw" "$d"/*)
mkdir -p "$work/mem200"
for i in $(seq 1 10); do for f in "${q90[@]}"; do cp "$f" "$work/mem200/$i-$(basename "$f")"; done; done
mem_200=$(peak_kb "$cli" scramble -j 1 --no-flush --password-file "$pw" "$work"/mem200/*)
mem_200j2=$(peak_kb "$cli" scramble -j 2 --no-flush --password-file "$pw" "$work"/mem200/*)
mem_orig=$(d=$(fresh memo "${origs[0]}"); peak_kb "$cli" reduce --factor 2 --no-flush "$d"/*)

# --- report -------------------------------------------------------------------------------
row() {  # label tool peer goal
    local r
    r=$(ratio "$2" "$3")
    local verdict
    verdict=$(awk -v r="$r" -v g="$4" 'BEGIN { print (r <= g) ? "met" : "MISSED" }')
    printf '%-52s %8s %8s %7.2f %7s  %s\n' "$1" "$(seconds "$2")" "$(seconds "$3")" "$r" "<= $4" "$verdict"
}

printf '\n%-52s %8s %8s %7s %7s\n' "tool / peer (median of $rounds rounds)" "tool s" "peer s" "ratio" "goal"
row "scramble 20 JPEG / djpeg|cjpeg -quality 90, 2 streams" scr_jpg recode 0.9
row "  the same without flushing (--no-flush)" scr_jpg_nf recode 0.9
row "scramble 20 JPEG / mogrify -quality 90" scr_jpg mogrify 0.6
row "  the same without flushing (--no-flush)" scr_jpg_nf mogrify 0.6
row "assemble 20 JPEG / djpeg|cjpeg -quality 90, 2 streams" asm_jpg recode 0.9
row "  the same without flushing (--no-flush)" asm_jpg_nf recode 0.9
row "assemble 20 JPEG / mogrify -quality 90" asm_jpg mogrify 0.6
row "scramble 20 BMP / cp" scr_bmp cp 2
row "  the same without flushing (--no-flush)" scr_bmp_nf cp 2
row "convert JPEG to BMP, per file / djpeg -bmp" conv_jb djpeg_bmp 0.75
row "convert BMP to JPEG, per file / cjpeg -quality 90" conv_bj cjpeg 0.75
row "convert JPEG to JPEG, per file / convert -quality 90" conv_jj im_convert 0.4
row "gray, per file / convert -colorspace Gray" gray im_gray 0.6
row "reduce --factor 2, 20 originals / djpeg decode only" reduce2 decode 1.25
row "reduce --factor 4, 20 originals / djpeg decode only" reduce4 decode 1.15
row "reduce --factor 8, 20 originals / djpeg decode only" reduce8 decode 1.10
row "reduce --factor 2, 20 originals / mogrify -sample 50%" reduce2 sample2 0.6
row "reduce --factor 4, 20 originals / mogrify -sample 25%" reduce4 sample4 0.75
row "reduce --factor 8, 20 originals / mogrify -sample 12%" reduce8 sample8 0.85
j=$(ratio scr_j1 scr_j2)
printf '%-52s %8s %8s %7.2f %7s  %s\n' "throughput -j 2 / -j 1 (scramble 20 JPEG)" "$(seconds scr_j2)" "$(seconds scr_j1)" "$j" ">= 1.7" \
    "$(awk -v r="$j" 'BEGIN { print (r >= 1.7) ? "met" : "MISSED" }')"
plain() {  # label first second: the median ratio first / second
    printf '%-52s %8s %8s %7.2f\n' "$1" "$(seconds "$2")" "$(seconds "$3")" "$(ratio "$2" "$3")"
}
plain "flushing: scramble 20 JPEG with / without" scr_jpg scr_jpg_nf
plain "flushing: scramble 20 BMP with / without" scr_bmp scr_bmp_nf
printf '\n%-52s %8s %8s %7s\n' "saves to new names (not flushed) / replacing saves" "new s" "repl. s" "ratio"
plain "convert JPEG to BMP, per file" conv_jb conv_jb_re
plain "convert BMP to JPEG, per file" conv_bj conv_bj_re
plain "gray, per file" gray gray_re
plain "reduce --factor 2, 20 originals" reduce2 reduce2_re
printf '\npeak memory (resident, MB)\n'
awk -v a="$mem_one" -v b="$mem_200" -v c="$mem_200j2" -v d="$mem_orig" 'BEGIN {
    printf "  scramble one 1280x1024 JPEG, -j 1       %6.1f   (goal <= 16)\n", a / 1024
    printf "  scramble 200 such JPEGs, -j 1           %6.1f   (%+.1f over one file)\n", b / 1024, (b - a) / 1024
    printf "  scramble 200 such JPEGs, -j 2           %6.1f\n", c / 1024
    printf "  reduce the largest original by 2, -j 1  %6.1f\n", d / 1024
}'
