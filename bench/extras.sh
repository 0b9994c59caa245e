#!/usr/bin/env bash
# Measures, in one run over the photo corpus, what the guard of assemble, check, the remedies
# for assembled JPEGs and reduce --fast promise, and prints each goal with its figure:
#   1. the guard: right password accepted, 50 wrong passwords per photo refused (25 random,
#      25 that differ from the right one in one character), plain photos refused; as JPEG and
#      as BMP. A wrong password that assembles to the very same picture as the right one
#      (the same permutations) counts as right.
#   2. check: scrambled and plain photos told apart.
#   3. the guard's cost: assemble against assemble --force (no guard), -j 1, median of rounds;
#      the guard clocked inside an assemble, as a share of a whole assemble command.
#   4. PSNR against the original of each photo after scramble and assemble at quality 90:
#      by default, with scramble --full-chroma, with assemble --smooth and with both; a plain
#      re-save for comparison; what check says of the --smooth results.
#   5. reduce --fast against decoding the originals whole with djpeg and against vipsthumbnail
#      (two streams each, as tavelix-cli's two jobs), median of the per-round ratios.
#   6. peak memory (resident) of a reduce job, against the reduced picture's size.
#
# Usage: bench/extras.sh [rounds]   (default 5; or ROUNDS=n)
# BUILD names the build folder with src/cli/tavelix-cli (default build/, configured with the
# release preset when missing). The corpus comes from bench/make-corpus.sh ($CORPUS). Needs
# djpeg (libjpeg-turbo-progs), ImageMagick and vipsthumbnail (libvips-tools); missing packages
# are installed.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-${ROUNDS:-5}}
build=${BUILD:-$root/build}
cli=$build/src/cli/tavelix-cli
export CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}

log() { printf '%s\n' "$*" >&2; }

"$root/scripts/install-missing.sh" libjpeg-turbo-progs imagemagick libvips-tools time  # time: GNU time
im_convert=$(command -v convert-im6.q16 || command -v convert)
im_compare=$(command -v compare-im6.q16 || command -v compare)
"$root/bench/make-corpus.sh" >&2
if [[ ! -x $cli ]]; then
    log "building tavelix-cli in $build"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVELIX_DEVELOPER=OFF >/dev/null
fi
cmake --build "$build" --target tavelix-cli -j 2 >/dev/null

work=$(mktemp -d "$build/extras.XXXXXX")
trap 'rm -rf "$work"' EXIT
right="benchmark password"
printf '%s\n' "$right" > "$work/pw"
q90=("$CORPUS"/q90/*.jpg)
bmps=("$CORPUS"/bmp/*.bmp)
mapfile -t origs < <(ls -S "$CORPUS"/orig/*.jpg)
ids=()
for f in "${q90[@]}"; do ids+=("$(basename "$f" .jpg)"); done
verdict() { awk -v ok="$1" 'BEGIN { print ok ? "met" : "MISSED" }'; }
files_in() { find "$1" -type f 2>/dev/null | wc -l || true; }  # 0 for a folder never made

# --- 1 and 2: the guard and check ----------------------------------------------------------
# The wrong passwords, the same in every run: 25 random, 25 with one character changed.
RANDOM=14
chars='abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,-_!?#'
wrongs=()
for ((k = 0; k < 25; ++k)); do
    w=
    for ((c = 0; c < 8 + RANDOM % 33; ++c)); do w+=${chars:RANDOM % ${#chars}:1}; done
    wrongs+=("$w")
done
for ((k = 0; k < 25; ++k)); do
    at=$((RANDOM % ${#right}))
    while :; do
        ch=${chars:RANDOM % ${#chars}:1}
        [[ $ch != "${right:at:1}" ]] && break
    done
    wrongs+=("${right:0:at}$ch${right:at+1}")
done

printf '\n== 1. The guard of assemble (20 photographs, password "%s") ==\n' "$right"
printf '%-5s %-22s %-28s %-22s %s\n' format "right accepted" "wrong refused (of 50 each)" "plain refused" "same permutations"
guard_ok=1
for format in jpg bmp; do
    if [[ $format == jpg ]]; then plain=("${q90[@]}"); else plain=("${bmps[@]}"); fi
    g=$work/guard-$format
    mkdir -p "$g/plain"
    cp "${plain[@]}" "$g/plain/"
    "$cli" scramble --password-file "$work/pw" --out-dir "$g/scrambled" "$g/plain"/* -r >/dev/null 2>&1
    "$cli" assemble --password-file "$work/pw" --out-dir "$g/right" "$g/scrambled" -r >/dev/null 2>"$g/right.err" || true
    accepted=$(files_in "$g/right")
    refused=0 same=0 total=0 worst=
    for k in "${!wrongs[@]}"; do
        printf '%s\n' "${wrongs[k]}" > "$g/wrong"
        "$cli" assemble --password-file "$g/wrong" --out-dir "$g/w$k" -r "$g/scrambled" >/dev/null 2>&1 || true
        for f in "$g/scrambled"/*; do
            total=$((total + 1))
            out=$g/w$k/scrambled/$(basename "$f")
            if [[ ! -f $out ]]; then
                refused=$((refused + 1))
            elif cmp -s "$out" "$g/right/scrambled/$(basename "$f")"; then
                same=$((same + 1))
            else
                worst+=" $(basename "$f") with '${wrongs[k]}';"
            fi
        done
        rm -rf "$g/w$k"
    done
    "$cli" assemble --password-file "$work/pw" --out-dir "$g/again" -r "$g/plain" >/dev/null 2>&1 || true
    plain_refused=$((20 - $(files_in "$g/again")))
    printf '%-5s %-22s %-28s %-22s %s\n' "$format" "$accepted of 20" "$refused of $((total - same))" \
        "$plain_refused of 20" "$same"
    if [[ -n $worst ]]; then log "  accepted wrongly ($format):$worst"; fi
    ((accepted == 20 && refused == total - same && plain_refused == 20)) || guard_ok=0
done
printf 'goal: 20 of 20 right accepted, every wrong one refused, 20 of 20 plain refused: %s\n' "$(verdict $guard_ok)"

printf '\n== 2. check ==\n'
check_ok=1
for format in jpg bmp; do
    g=$work/guard-$format
    told_scrambled=$("$cli" check -r "$g/scrambled" | grep -c ': scrambled (' || true)
    told_plain=$("$cli" check -r "$g/plain" | grep -c ': not scrambled (' || true)
    printf '%-5s scrambled told scrambled: %2d of 20; plain told not scrambled: %2d of 20\n' "$format" \
        "$told_scrambled" "$told_plain"
    ((told_scrambled == 20 && told_plain == 20)) || check_ok=0
done
printf 'goal: check right for every photo: %s\n' "$(verdict $check_ok)"
printf 'pairs of fitting strip edges kept side by side, JPEG:\n'
for id in "${ids[@]}"; do
    "$cli" check "$work/guard-jpg/scrambled/$id.jpg" "$work/guard-jpg/plain/$id.jpg" |
        sed -n 's/.*(the strips keep \([0-9]*\) of \([0-9]*\) pairs.*/\1 of \2/p' |
        paste -sd' ' | awk -v id="$id" '{ printf "  %-15s scrambled %-12s plain %s\n", id, $1 " " $2 " " $3, $4 " " $5 " " $6 }'
done

# --- 3: the guard's cost -------------------------------------------------------------------
printf '\n== 3. The guard'"'"'s cost (assemble -j 1 of the 20 scrambled files, %s rounds) ==\n' "$rounds"
source "$root/bench/timing.sh"
timed() {  # name command...
    local name=$1
    shift
    sync
    local t0=${EPOCHREALTIME/./}
    "$@" >/dev/null 2>&1 || true
    local t1=${EPOCHREALTIME/./}
    times[$name]+="$((t1 - t0)) "
}
ms() { printf '%s' "${times[$1]}" | median | awk '{ printf "%.0f", $1 / 1000 }'; }
for ((r = 1; r <= rounds; ++r)); do
    for format in jpg bmp; do
        s=$work/guard-$format/scrambled
        rm -rf "$work/c1" "$work/c2"
        timed "guard_$format" "$cli" assemble -j 1 --password-file "$work/pw" --out-dir "$work/c1" -r "$s"
        timed "force_$format" "$cli" assemble -j 1 --force --password-file "$work/pw" --out-dir "$work/c2" -r "$s"
        # the command as it is mostly used: each file replaced in place (and waited for)
        rm -rf "$work/in-place"
        cp -r "$s" "$work/in-place"
        timed "inplace_$format" "$cli" assemble -j 1 --force --password-file "$work/pw" -r "$work/in-place"
    done
done
printf 'whole commands (on a shared machine these differences are mostly noise):\n'
for format in jpg bmp; do
    r=$(ratio "guard_$format" "force_$format")
    printf '  %-5s with guard %5s ms, without (--force) %5s ms: ratio %s\n' "$format" \
        "$(ms "guard_$format")" "$(ms "force_$format")" "$r"
done
# The guard's own time, clocked in the course of an assemble in memory (bench/guard_bench.cpp,
# built in the developer build only), against the rest of that work and against a whole
# assemble command per file (the --force runs above: in place, as assemble is mostly used, and
# into new files, which need not wait for the disk: the cheapest assemble there is).
guard_bench=$build/bench/guard_bench
[[ -x $guard_bench ]] || guard_bench=$root/build-dev/bench/guard_bench
cost_ok=1
if [[ -x $guard_bench ]]; then
    printf 'clocked in the course of an assemble in memory, right password (%s):\n' "${guard_bench#"$root"/}"
    CORPUS=$CORPUS "$guard_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
        --benchmark_out="$work/guard-all.csv" --benchmark_out_format=csv >/dev/null 2>&1 || true
    column() {  # format counter: the median of that counter
        awk -F, -v row="BM_Assemble/$1/real_time_median" -v name="$2" '
            /^name,/ { for (i = 1; i <= NF; ++i) if ($i == name || $i == "\"" name "\"") c = i }
            index($0, "\"" row "\"") == 1 && c { print $c }' "$work/guard-all.csv"
    }
    for format in jpg bmp; do
        pct=$(column "$format" "guard %") us=$(column "$format" "guard us")
        rest=$(column "$format" real_time)
        per_file() { printf '%s' "${times[$1]}" | median | awk '{ printf "%.0f", $1 / 20 }'; }
        share() { awk -v u="$us" -v f="$1" 'BEGIN { if (u != "" && f > 0) printf "%.1f", 100 * u / f }'; }
        new_us=$(per_file "force_$format") in_place_us=$(per_file "inplace_$format")
        share=$(share "$in_place_us")
        printf '  %-5s the guard: %.0f us a picture\n' "$format" "${us:-0}"
        printf '        %5s %% of a whole assemble in place, the usual command (%.1f ms a file, -j 1)\n' \
            "${share:-?}" "$(awk -v f="$in_place_us" 'BEGIN { print f / 1000 }')"
        printf '        %5s %% of a whole assemble into new files (--out-dir, %.1f ms a file)\n' \
            "$(share "$new_us")" "$(awk -v f="$new_us" 'BEGIN { print f / 1000 }')"
        printf '        %5.1f %% of the rest of an assemble in memory (%.2f ms: decode, assemble, encode)\n' \
            "${pct:-0}" "${rest:-0}"
        awk -v p="$share" 'BEGIN { exit !(p != "" && p <= 5) }' || cost_ok=0
    done
else
    printf '  (no guard_bench: build the developer preset for the clocked figures)\n'
    cost_ok=0
fi
printf 'goal: the guard costs at most 5 %% of an assemble (in place): %s\n' "$(verdict $cost_ok)"

# --- 4: PSNR, and what check says of the results ----------------------------------------------
printf '\n== 4. Assembled JPEGs against their originals (quality 90; PSNR in dB over the restored area) ==\n'
p=$work/psnr
mkdir -p "$p"
# The restored area of 1280 x 1024: 213 strips of 6 columns, 204 of 5 rows.
crop() { "$im_convert" "$1" -crop 1278x1020+0+0 +repage "$2"; }
psnr() { "$im_compare" -metric PSNR "$1" "$2" null: 2>&1 | awk '{ printf "%.2f", $1 }' || true; }
# What check says of a picture: its pairs of fitting edges kept, or "-" when it cannot tell.
score() { "$cli" check "$1" | sed -n 's/.*: not scrambled (the strips keep \([0-9]*\) of \([0-9]*\).*/\1\/\2/p;s/.*: \(scrambled\|cannot tell\) .*/-/p'; }
for variant in default full smooth both resave; do mkdir -p "$p/$variant"; done
cp "${q90[@]}" "$p/default/"
cp "${q90[@]}" "$p/smooth/"
cp "${q90[@]}" "$p/full/"
cp "${q90[@]}" "$p/both/"
"$cli" scramble --password-file "$work/pw" "$p/default"/*.jpg "$p/smooth"/*.jpg >/dev/null
"$cli" scramble --full-chroma --password-file "$work/pw" "$p/full"/*.jpg "$p/both"/*.jpg >/dev/null
bytes_of() { du -cb "$@" | tail -1 | cut -f1; }
size_ratio=$(awk -v f="$(bytes_of "$p/full"/*.jpg)" -v d="$(bytes_of "$p/default"/*.jpg)" 'BEGIN { printf "%.2f", f / d }')
"$cli" assemble --password-file "$work/pw" "$p/default"/*.jpg "$p/full"/*.jpg >/dev/null
"$cli" assemble --smooth --password-file "$work/pw" "$p/smooth"/*.jpg "$p/both"/*.jpg >/dev/null
for f in "${q90[@]}"; do "$cli" convert "$f" "$p/resave/$(basename "$f")"; done
printf '%-15s %7s %7s %7s %7s %7s   %-6s %-6s %-6s %s\n' photo resave default full smooth both \
    score: orig smooth "(default)"
smooth_ok=1
for id in "${ids[@]}"; do
    crop "$CORPUS/bmp/$id.bmp" "$p/$id.ref.ppm"
    row=()
    for variant in resave default full smooth both; do
        crop "$p/$variant/$id.jpg" "$p/$id.$variant.ppm"
        row+=("$(psnr "$p/$id.ref.ppm" "$p/$id.$variant.ppm")")
    done
    s_orig=$(score "$CORPUS/bmp/$id.bmp")
    s_smooth=$(score "$p/smooth/$id.jpg")
    s_default=$(score "$p/default/$id.jpg")
    printf '%-15s %7s %7s %7s %7s %7s   %-9s %-9s %-9s %s\n' "$id" "${row[@]}" "" "$s_orig" "$s_smooth" "$s_default"
    # Smoothing must raise the PSNR and leave a picture that check still calls not scrambled.
    awk -v d="${row[1]}" -v s="${row[3]}" -v m="$s_smooth" 'BEGIN { exit !(s > d && m != "-" && m != "") }' || smooth_ok=0
    rm -f "$p/$id".*.ppm
done
printf 'goal: --smooth raises the PSNR of every photo, and check still calls each not scrambled: %s\n' \
    "$(verdict $smooth_ok)"
printf 'file sizes: the scrambled JPEGs with --full-chroma are %s x those without\n' "$size_ratio"

# --- 5: reduce --fast --------------------------------------------------------------------------
printf '\n== 5. reduce --fast on the 20 originals (two jobs; peers in two streams; %s rounds) ==\n' "$rounds"
two_streams() {  # function files...
    local fn=$1 i
    shift
    local files=("$@")
    (for ((i = 0; i < ${#files[@]}; i += 2)); do "$fn" "${files[i]}"; done) &
    (for ((i = 1; i < ${#files[@]}; i += 2)); do "$fn" "${files[i]}"; done) &
    wait
}
declare -A box
for f in "${origs[@]}"; do
    read -r w h < <(vipsheader -f width "$f" 2>/dev/null | tr '\n' ' '; vipsheader -f height "$f" 2>/dev/null)
    box[$f]="$(((w + 4) / 8))x$(((h + 4) / 8))"
done
decode_whole() { djpeg -outfile /dev/null "$1"; }
decode_half() { djpeg -scale 1/2 -outfile /dev/null "$1"; }
# The baseline (not progressive) originals: libjpeg's scaled decoding saves most on them.
baseline=()
for f in "${origs[@]}"; do
    [[ $("$im_convert" "$f" -format '%[interlace]' info: 2>/dev/null) == JPEG ]] || baseline+=("$f")
done
vips_thumb() { VIPS_CONCURRENCY=1 vipsthumbnail "$1" --size "${box[$1]}" -o "$work/vips/%s.jpg[Q=90]" 2>/dev/null; }
reduce_run() {  # name factor [--fast]
    rm -rf "$work/$1"
    timed "$1" "$cli" reduce ${3:-} --factor "$2" -j 2 --out-dir "$work/$1" "${origs[@]}"
}
for ((r = 1; r <= rounds; ++r)); do
    reduce_run fast8 8 --fast
    timed decode two_streams decode_whole "${origs[@]}"
    reduce_run fast2 2 --fast
    rm -rf "$work/vips" && mkdir -p "$work/vips"
    timed vips8 two_streams vips_thumb "${origs[@]}"
    reduce_run slow8 8
    reduce_run slow2 2
    timed half two_streams decode_half "${origs[@]}"
    rm -rf "$work/bfast2" && timed bfast2 "$cli" reduce --fast --factor 2 -j 2 --out-dir "$work/bfast2" "${baseline[@]}"
    timed bdecode two_streams decode_whole "${baseline[@]}"
done
fast_ok=1
row5() {  # label tool peer goal
    local r
    r=$(ratio "$2" "$3")
    local ok
    ok=$(awk -v r="$r" -v g="$4" 'BEGIN { print (g == "" || r <= g) }')
    ((ok)) || fast_ok=0
    printf '%-44s %6s ms / %6s ms = %5.2f x   goal %s\n' "$1" "$(ms "$2")" "$(ms "$3")" "$r" "${4:-(reference)}"
}
row5 "reduce --fast --factor 8 / djpeg decode" fast8 decode 0.25
row5 "reduce --fast --factor 8 / vipsthumbnail" fast8 vips8 0.5
row5 "reduce --fast --factor 2 / djpeg decode" fast2 decode 0.6
row5 "reduce --factor 8 (without --fast) / djpeg" slow8 decode ""
row5 "reduce --factor 2 (without --fast) / djpeg" slow2 decode ""
printf 'goal: the three ratios above their goals: %s\n' "$(verdict $fast_ok)"
printf 'for comparison (%d of the 20 originals are progressive JPEGs, whose scans must all be decoded at 1/2):\n' \
    "$((20 - ${#baseline[@]}))"
row5 "djpeg -scale 1/2 / djpeg (libjpeg's own)" half decode ""
row5 "reduce --fast --factor 2 / djpeg, baseline ${#baseline[@]}" bfast2 bdecode ""

# --- 6: memory -------------------------------------------------------------------------------
printf '\n== 6. Peak memory of one reduce job (resident, KB) ==\n'
peak_kb() { /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 || true; cat "$work/rss"; }
"$im_convert" -size 16x16 xc:gray "$work/tiny.jpg"
base=$(peak_kb "$cli" reduce --fast --factor 8 -j 1 --out-dir "$work/m0" "$work/tiny.jpg")
printf 'the program itself (a 16 x 16 picture): %s KB\n' "$base"
printf '%-20s %-11s %-6s %9s %9s %9s %9s\n' photo size kind reduced "--fast" over "default"
mem_ok=1
for f in "${origs[@]}"; do
    id=$(basename "$f" .jpg)
    read -r w h < <(vipsheader -f width "$f" 2>/dev/null | tr '\n' ' '; vipsheader -f height "$f" 2>/dev/null)
    kind=$("$im_convert" "$f" -format '%[interlace]' info: 2>/dev/null)
    [[ $kind == JPEG ]] && kind=progr || kind=base
    for factor in 8; do
        reduced=$(((w / factor) * (h / factor) * 4 / 1024))
        fast=$(peak_kb "$cli" reduce --fast --factor $factor -j 1 --out-dir "$work/m1$id" "$f")
        slow=$(peak_kb "$cli" reduce --factor $factor -j 1 --out-dir "$work/m2$id" "$f")
        over=$((fast - base - reduced))
        printf '%-20s %-11s %-6s %9s %9s %9s %9s\n' "$id" "${w}x$h" "$kind" "$reduced" "$fast" "$over" "$slow"
        if [[ $kind == base ]] && ((over > 4096)); then mem_ok=0; fi
    done
done
printf 'goal (baseline JPEGs): peak at most the reduced picture plus a small constant (4 MB): %s\n' "$(verdict $mem_ok)"
printf '(a progressive JPEG holds all its coefficients while its scans arrive, whatever the scale)\n'
