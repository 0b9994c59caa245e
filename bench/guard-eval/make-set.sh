#!/usr/bin/env bash
# Builds the picture set of bench/guard-eval.sh: pictures of our own making that the guard of
# assemble was never tuned on, of many kinds, sizes and file formats. Missing packages are
# installed (as root, or through sudo).
#
# Kinds (the category of each picture):
#   photo        real photographs shipped in Debian packages (photos.tsv beside this script)
#   photo-tuned  the 20 photographs of bench/corpus.tsv, which the guard was tuned on: a small
#                group, for comparison only
#   screenshot   real screenshots: xterm (ls -l, man pages, source code, ps, ...) and other X
#                programs under Xvfb with twm, captured with import -window root
#   document     text pages rendered by ImageMagick, half of them made to look scanned (tilt,
#                blur, noise, paper tint), and two scans that ship with scikit-image
#   chart        gnuplot charts (lines, bars, scatter, heat maps, surfaces, filled curves)
#   drawing      line drawings, some with hatched shapes
#   icon         icons of Debian's icon themes scaled up on flat backgrounds, and flat-colour art
#   pattern      checkerboards, stripes and ImageMagick's built-in patterns
#   gradient     linear and radial gradients
#   noise        random noise of several kinds, plasma, blurred noise
#   dark, bright, gray   photographs made dark, washed out or gray
# Sizes: 20 from 16 x 12 to 1280 x 1024, and the thin 301 x 2, 300 x 2, 9 x 511, 1 x 500 and
# 500 x 1. Formats: JPEG (cjpeg) at quality 30 to 100, baseline and progressive, 4:2:0, 4:4:4
# and gray; BMP (ImageMagick's BMP3, uncompressed) 24-bit, 8-bit palette, 4-bit palette (flat
# pictures only), 8-bit gray palette. Each category spreads its pictures so that every size band
# meets every format; photographs and screenshots get extra pictures at 1280 x 1024.
#
# Layout of DIR:
#   sources/      photo masters, screenshots, document pages, icon list (kept for rebuilds)
#   pics/ID.jpg|bmp   the pictures
#   manifest.tsv  one line a picture: id, file, category, width, height, size band, format
#                 class, details, source; written last, so it marks a whole set
#
# Usage: bench/guard-eval/make-set.sh DIR [CLI]   (CLI: a tavelix-cli that must read a sample of
# each format). GUARD_EVAL_SMALL=1: about 100 pictures. GUARD_EVAL_SEED: the seed (default 1).
# Many choices are drawn in subshells ($(rand ...), $(pick ...)), whose RANDOM bash seeds anew,
# so two builds with one seed differ in detail. A set, once built, is kept: its manifest says
# what each picture is, and guard-eval.sh draws its passwords reproducibly from the seed.
set -euo pipefail
shopt -s inherit_errexit
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
set_dir=${1:?usage: make-set.sh DIR [CLI]}
cli=${2:-}
small=${GUARD_EVAL_SMALL:-0}
seed=${GUARD_EVAL_SEED:-1}

log() { printf '%s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

if [[ -f $set_dir/manifest.tsv ]]; then
    log "picture set complete in $set_dir ($(($(wc -l <"$set_dir/manifest.tsv") - 1)) pictures)"
    exit 0
fi

# --- packages ------------------------------------------------------------------------------
photo_packages=$( (grep -v '^#' "$here/photos.tsv"; grep -v '^#' "$root/bench/corpus.tsv") |
    awk -F'\t' 'NF >= 3 { print $2 }' | sort -u)
# shellcheck disable=SC2086 # one package a word
"$root/scripts/install-missing.sh" imagemagick libjpeg-turbo-progs gnuplot-nox \
    fonts-dejavu-core fonts-liberation2 fonts-noto-mono \
    xvfb xauth twm xterm x11-apps x11-xserver-utils xfonts-base xfonts-75dpi man-db manpages less \
    adwaita-icon-theme tango-icon-theme $photo_packages
# ImageMagick's own programs, not wrappers of the same names that may stand earlier in PATH.
im=$(command -v convert-im6.q16 || command -v convert)
im_identify=$(command -v identify-im6.q16 || command -v identify)
im_import=$(command -v import-im6.q16 || command -v import)
im_display=$(command -v display-im6.q16 || command -v display)

fonts_dir=/usr/share/fonts/truetype
fonts=()
for f in dejavu/DejaVuSans.ttf dejavu/DejaVuSerif.ttf dejavu/DejaVuSansMono.ttf dejavu/DejaVuSans-Bold.ttf \
    liberation2/LiberationSerif-Regular.ttf liberation2/LiberationSans-Regular.ttf \
    liberation2/LiberationMono-Regular.ttf noto/NotoMono-Regular.ttf; do
    [[ -f $fonts_dir/$f ]] && fonts+=("$fonts_dir/$f")
done
((${#fonts[@]})) || die "no TrueType fonts found in $fonts_dir"

mkdir -p "$set_dir"/{sources/photos,sources/tuned,sources/screens,sources/pages,pics}
src=$set_dir/sources
tmp=$(mktemp -d)
# Only this shell removes it: copies of it in the background may run the trap too.
main_pid=$BASHPID
trap 'if [[ $BASHPID == "$main_pid" ]]; then rm -rf "$tmp"; fi' EXIT
scratch=$tmp  # each worker below has its own

# The sizes, by band: the band of a picture is that of its longest side, thin ones apart.
sizes=(16x12 32x24 64x48 100x75 160x120 200x150 255x255     # <256
    256x256 320x240 400x300 511x383 512x384                 # 256-639
    640x480 720x540 800x600 1000x750                        # 640-1023
    1024x768 1152x864 1280x720 1280x1024                    # >=1024
    301x2 300x2 9x511 1x500 500x1)                          # thin
band_sizes=("0 1 2 3 4 5 6" "7 8 9 10 11" "12 13 14 15" "16 17 18 19" "20 21 22 23 24")
formats=(jpg-q30-59 jpg-q60-89 jpg-q90-100 jpg-progressive jpg-444 jpg-gray bmp-24 bmp-pal8 bmp-pal4 bmp-gray)
# A 16-colour palette suits only pictures of few colours; the others take 256 instead.
flat_categories=" screenshot document chart drawing icon pattern "

# rand N: a number from 0 to N-1 (bash's RANDOM, seeded for each picture).
rand() { echo $((RANDOM % $1)); }
pick() { local a=("$@"); printf '%s' "${a[RANDOM % ${#a[@]}]}"; }
dims() { "$im_identify" -format '%w %h\n' "$1[0]" | head -n 1; }

# --- sources: photographs -------------------------------------------------------------------
# A master of each photograph: no larger than needed to fill 1600 x 1280 (PNG, quick to read).
make_masters() {  # list dir
    local id package file path
    while IFS=$'\t' read -r id package file _; do
        [[ -f $2/$id.png ]] && continue
        path=$(dpkg -L "$package" | grep -E -- "/${file//./\\.}\$" | head -n 1 || true)
        [[ -n $path && -f $path ]] || die "$file is not in package $package"
        "$im" "${path}[0]" -strip -colorspace sRGB -type TrueColor -resize '1600x1280^>' -quality 10 "$2/$id.png"
    done < <(grep -v '^#' "$1" | grep -v '^$')
}

# --- sources: screenshots ---------------------------------------------------------------------
xterm_look() {  # options of xterm: a font and colours
    local pair
    if (($(rand 3) == 0)); then
        printf '%s\n' -fn "$(pick 6x13 7x13 7x14 8x13 9x15 10x20 fixed)"
    else
        printf '%s\n' -fa "$(pick 'DejaVu Sans Mono' 'Liberation Mono' 'Noto Mono')" -fs "$((7 + $(rand 8)))"
    fi
    pair=$(pick 'black white' 'white black' '#300a24 #ffffff' '#002b36 #839496' '#1e1e1e #d4d4d4' \
        '#ffffdd #000000' 'black #33ff33' '#fdf6e3 #657b83')
    printf '%s\n' -bg "${pair% *}" -fg "${pair#* }" -sb -sl 2000
}
man_page() { pick ls bash tar find grep cjpeg gnuplot xterm twm convert-im6.q16 man apt-get dpkg less; }
source_file() {
    local files=("$root"/src/engine/*.cpp /usr/include/stdio.h /usr/include/stdlib.h /usr/include/string.h
        /usr/include/jpeglib.h /usr/share/gnuplot/*/gnuplotrc "$root"/bench/*.sh)
    local f
    f=$(pick "${files[@]}")
    [[ -f $f ]] && printf '%s' "$f" || printf '%s' /usr/include/stdio.h
}
term_command() {  # what a terminal shows
    case $(rand 9) in
        0) echo "ls -l --color=always /usr/bin | head -n $((40 + $(rand 200)))" ;;
        1) echo "man $(man_page)" ;;
        2) echo "cat -n $(source_file)" ;;
        3) echo "grep -n --color=always -E 'if|for|return' $(source_file)" ;;
        4) echo "ps aux; df -h; free -m" ;;
        5) echo "top -b -n 1 | head -n 60" ;;
        6) echo "dpkg -l | head -n $((30 + $(rand 100)))" ;;
        7) echo "ls -lR --color=always /usr/share/doc | head -n 300" ;;
        8) echo "cal -y 2>/dev/null || date; uname -a; ls --color=always -C /usr/lib" ;;
    esac
}
# spawn PROGRAM...: runs it in the background, its own process (so that kill reaches it).
spawn() { (exec "$@" >/dev/null 2>&1) & }
clients=()
xterm_at() {  # geometry [command]
    local -a look
    mapfile -t look < <(xterm_look)
    spawn xterm "${look[@]}" -geometry "$1" -e sh -c "${2:-$(term_command)}; exec sleep 600"
    clients+=($!)
}
x_program() {
    local x y cmd
    x=$(rand 1000) y=$(rand 700)
    case $(rand 8) in
        0) cmd=(xclock -geometry "$((120 + $(rand 200)))x$((120 + $(rand 200)))+$x+$y" -update 1) ;;
        1) cmd=(oclock -geometry "+$x+$y") ;;
        2) cmd=(xeyes -geometry "$((100 + $(rand 200)))x$((80 + $(rand 150)))+$x+$y") ;;
        3) cmd=(xcalc -geometry "+$x+$y") ;;
        4) cmd=(xlogo -geometry "$((100 + $(rand 300)))x$((100 + $(rand 300)))+$x+$y") ;;
        5) cmd=(xload -geometry "$((150 + $(rand 200)))x$((80 + $(rand 120)))+$x+$y") ;;
        6) cmd=(xedit -geometry "$((300 + $(rand 400)))x$((300 + $(rand 300)))+$x+$y" "$(source_file)") ;;
        7) cmd=(xman -geometry "+$x+$y") ;;
    esac
    spawn "${cmd[@]}"
    clients+=($!)
}
desktop_background() {
    case $(rand 4) in
        0) xsetroot -solid "$(pick '#3a6ea5' '#2e3440' '#008080' '#5f5f87' '#d0d0d0' '#000000' '#355e3b')" ;;
        1) xsetroot -mod "$((2 + $(rand 14)))" "$((2 + $(rand 14)))" -fg "$(pick '#505050' navy '#806040')" -bg "$(pick '#a0a0a0' white '#c0b090')" ;;
        2) xsetroot -gray ;;
        3) local photos=("$src"/photos/*.png)
           "$im" "$(pick "${photos[@]}")" -resize '1280x1024^' -gravity center -extent 1280x1024 "$scratch/wall.png"
           "$im_display" -window root "$scratch/wall.png" ;;
    esac >/dev/null 2>&1 || true
}
take_screenshots() {  # count dir
    local n=$1 dir=$2 d i xvfb wm
    for ((d = 90; d < 140; ++d)); do [[ -e /tmp/.X11-unix/X$d || -e /tmp/.X$d-lock ]] || break; done
    export DISPLAY=:$d
    (exec Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1) &
    xvfb=$!
    for ((i = 0; i < 50; ++i)); do xset q >/dev/null 2>&1 && break; sleep 0.1; done
    xset q >/dev/null 2>&1 || die "Xvfb did not start: $(cat "$tmp/xvfb.log")"
    spawn twm
    wm=$!
    for ((i = 0; i < n; ++i)); do
        [[ -f $dir/shot-$i.png ]] && continue
        RANDOM=$((seed * 7919 + i))
        clients=()
        desktop_background
        case $((i % 6)) in
            0 | 1) xterm_at "$((90 + $(rand 100)))x$((40 + $(rand 40)))+$(rand 60)+$(rand 40)" ;;
            2) xterm_at "$((80 + $(rand 40)))x$((30 + $(rand 30)))+$(rand 300)+$(rand 200)"
               x_program; x_program ;;
            3) xterm_at "80x50+0+0" "man $(man_page)"
               xterm_at "80x50+640+0" "cat -n $(source_file)" ;;
            4) for ((k = 3 + $(rand 4); k > 0; --k)); do x_program; done
               xterm_at "$((60 + $(rand 40)))x$((15 + $(rand 20)))+$(rand 500)+$(rand 500)" ;;
            5) x_program
               xterm_at "$((70 + $(rand 60)))x$((25 + $(rand 30)))+$(rand 400)+$(rand 300)" ;;
        esac
        sleep 2.5
        "$im_import" -window root "$dir/shot-$i.png"
        kill "${clients[@]}" 2>/dev/null || true
        wait "${clients[@]}" 2>/dev/null || true
    done
    kill "$wm" "$xvfb" 2>/dev/null || true
    wait "$wm" "$xvfb" 2>/dev/null || true
}

# --- sources: document pages ------------------------------------------------------------------
text_chunk() {  # bytes: text from a licence or a manual page
    local -
    set +o pipefail  # head stops reading early
    local files=(/usr/share/common-licenses/*) f
    if (($(rand 3) == 0)); then
        man -P cat "$(man_page)" 2>/dev/null | sed 's/.\x08//g' | head -c "$1" | tr -cd '\11\12\40-\176' || true
        return
    fi
    f=$(pick "${files[@]}")
    [[ -f $f ]] || f=$root/README.md
    local size at=0
    size=$(stat -c %s "$f")
    ((size > $1)) && at=$(((RANDOM * 32768 + RANDOM) % (size - $1)))
    tail -c +$((at + 1)) "$f" | head -c "$1" | tr -cd '\11\12\40-\176' | sed 's/^@/ @/'
}
page_text() {  # bytes columns lines: paragraphs filled to that width, as many lines as fit
    local -
    set +o pipefail
    text_chunk "$1" | expand | fmt -w "$2" | head -n "$3"
}
make_page() {  # index out
    local w=$((1100 + $(rand 700))) h=$((1000 + $(rand 900))) font ps cols lines ink paper
    font=$(pick "${fonts[@]}")
    ps=$((10 + $(rand 18)))
    ink=$(pick black black '#202020' '#1a237e' '#3b2f2f')
    paper=$(pick white white '#fbfaf5' '#f4efe1')
    # ImageMagick's caption: would wrap the text, but measures it first as one line, over the
    # width limit of Debian's policy; so the text is filled by fmt and drawn line by line.
    cols=$(((w - 160) * 10 / (ps * 6)))
    lines=$(((h - 150) * 10 / (ps * 12)))
    local draw=(-font "$font" -pointsize "$ps")
    case $(rand 3) in
        0) draw+=(-annotate "+80+$((90 + ps))" "$(page_text 8000 "$cols" "$lines")") ;;
        1) local half=$(((cols - 6) / 2))
           draw+=(-annotate "+80+$((90 + ps))" "$(page_text 5000 "$half" "$lines")")
           draw+=(-annotate "+$((80 + (w - 160) / 2 + 20))+$((90 + ps))" "$(page_text 5000 "$half" "$lines")") ;;
        2) draw=(-font "${fonts[3]:-${fonts[0]}}" -pointsize "$((ps * 2))"
               -annotate "+80+$((90 + 2 * ps))" "$(text_chunk 200 | tr -s '\n\t ' ' ' | cut -c1-$((cols / 2)))"
               -font "$font" -pointsize "$ps"
               -annotate "+80+$((90 + 4 * ps))" "$(page_text 8000 "$cols" "$((lines - 3))")") ;;
    esac
    "$im" -size "${w}x$h" "xc:$paper" -fill "$ink" "${draw[@]}" "$tmp/page.png"
    if (($1 % 2)); then  # as if scanned
        "$im" -seed "$1" "$tmp/page.png" -background "$paper" -rotate "$(awk -v r="$(rand 31)" 'BEGIN { print (r - 15) / 10 }')" \
            -gravity center -extent "${w}x${h}" -blur "0x0.$((3 + $(rand 6)))" \
            -attenuate "0.$((2 + $(rand 6)))" +noise Gaussian \
            -fill "$(pick '#f0e8d0' '#e8e8e8' '#f8f0e0')" -colorize "$((5 + $(rand 15)))" \
            -level "$(rand 8)%,$((92 + $(rand 8)))%" +repage "$2"
    else
        cp "$tmp/page.png" "$2"
    fi
}

# --- the pictures ------------------------------------------------------------------------------
# fit SOURCE W H: the picture cut from SOURCE at a random scale between the one that just fills
# W x H and 1 (never enlarged more than needed) and a random place, as PPM on stdout.
fit() {
    local sw sh
    read -r sw sh < <(dims "$1")
    local geometry
    geometry=$(awk -v sw="$sw" -v sh="$sh" -v w="$2" -v h="$3" -v u="$RANDOM" -v a="$RANDOM" -v b="$RANDOM" 'BEGIN {
        c = w / sw > h / sh ? w / sw : h / sh; hi = c > 1 ? c : 1
        s = c + (hi - c) * u / 32767
        nw = int(sw * s + 0.999); nh = int(sh * s + 0.999)
        if (nw < w) nw = w; if (nh < h) nh = h
        printf "%dx%d! %dx%d+%d+%d", nw, nh, w, h, a % (nw - w + 1), b % (nh - h + 1) }')
    # +repage first: a source may carry a page offset (a rotated page does), which -crop honours
    "$im" "$1[0]" +repage -resize "${geometry% *}" -crop "${geometry#* }" +repage -type TrueColor ppm:-
}
color() { printf '#%02x%02x%02x' "$(rand 256)" "$(rand 256)" "$(rand 256)"; }
chart() {  # w h out.png
    local w=$1 h=$2 fs bg style
    fs=$((h / 45 > 6 ? h / 45 : 6))
    bg=$(pick white white white '#f0f0f0' '#202020')
    {
        printf 'set terminal pngcairo size %d,%d background "%s" font "DejaVu Sans,%d"\n' "$w" "$h" "$bg" "$fs"
        printf 'set output "%s"\n' "$3"
        printf 'seeded = rand(%d)\n' "$(rand 30000)"
        [[ $bg == '#202020' ]] && printf 'set border lc rgb "white"; set key tc rgb "white"; set xtics tc rgb "white"; set ytics tc rgb "white"\n'
        (($(rand 2))) && printf 'set grid\n'
        (($(rand 2))) && printf 'set title "%s"\n' "$(pick 'Sales by month' 'Load average' 'Response time (ms)' 'Temperature' 'Throughput')"
        (($(rand 3))) || printf 'unset key\n'
        style=$(rand 7)
        case $style in
            0) printf 'set samples %d\ny0=0; y1=0; y2=0; y3=0\nplot' $((50 + $(rand 400)))
               local series=$((1 + $(rand 4)))
               for ((s = 0; s < series; ++s)); do
                   # "sample" starts the plot; the next series give only their range
                   printf '%s [i=0:%d] "+" using (i):(y%d=y%d+rand(0)-0.5) with lines lw %d title "series %d"' \
                       "$( ((s)) && echo , || echo ' sample')" $((50 + $(rand 400))) $s $s $((1 + $(rand 3))) $s
               done; printf '\n' ;;
            1) printf 'set style fill solid 0.%d border -1\nset boxwidth 0.7\nset samples %d\nplot [0:%d] "+" using 1:(rand(0)*100) with boxes lc rgb "%s" title "count"\n' \
                   $((3 + $(rand 7))) $((5 + $(rand 30))) $((5 + $(rand 30))) "$(color)" ;;
            2) printf 'set samples %d\nplot "+" using (rand(0)*10):(rand(0)*rand(0)*10) with points pt %d ps 0.%d lc rgb "%s" title "samples"\n' \
                   $((100 + $(rand 2000))) $((1 + $(rand 7))) $((4 + $(rand 6))) "$(color)" ;;
            3) printf 'set view map\nset isosamples %d\nset samples %d\nunset key\nsplot [-3:3][-3:3] sin(x*%d.%d)*cos(y*%d)+rand(0)*0.%d with pm3d\n' \
                   $((20 + $(rand 80))) $((20 + $(rand 80))) "$(rand 3)" "$(rand 10)" $((1 + $(rand 3))) "$(rand 5)" ;;
            4) printf 'set style fill transparent solid 0.5\nplot [0:10] sin(x*%d.%d)+2 with filledcurves x1 title "a", cos(x)+1.5 with filledcurves x1 title "b"\n' \
                   "$(rand 3)" "$(rand 10)" ;;
            5) printf 'set hidden3d\nset isosamples %d\nsplot [-2:2][-2:2] exp(-x*x-y*y)*%d.%d with lines title "surface"\n' \
                   $((15 + $(rand 40))) $((1 + $(rand 3))) "$(rand 10)" ;;
            6) printf 'plot [0:%d] "+" using 1:(rand(0)*10) with steps title "steps", "+" using 1:(rand(0)*10) with impulses lw 2 title "impulses"\n' \
                   $((10 + $(rand 90))) ;;
        esac
    } >"$scratch/chart.gp"
    gnuplot "$scratch/chart.gp" 2>"$scratch/gnuplot.err" || { cat "$scratch/gnuplot.err" >&2; return 1; }
}
drawing() {  # w h out
    local w=$1 h=$2 cmds=() k n sw
    local bg ink
    case $(rand 4) in
        0) bg='#1f4e8c' ink=white ;;
        1) bg='#fffef8' ink='#1a237e' ;;
        *) bg=white ink=black ;;
    esac
    sw=$((1 + $(rand 3)))
    n=$((5 + $(rand 30)))
    p() { echo "$(rand "$w"),$(rand "$h")"; }
    for ((k = 0; k < n; ++k)); do
        case $(rand 6) in
            0 | 1) cmds+=(-draw "line $(p) $(p)") ;;
            2) cmds+=(-draw "circle $(p) $(p)") ;;
            3) cmds+=(-draw "rectangle $(p) $(p)") ;;
            4) cmds+=(-draw "polyline $(p) $(p) $(p) $(p)") ;;
            5) cmds+=(-draw "bezier $(p) $(p) $(p) $(p)") ;;
        esac
    done
    local hatch=()
    if (($(rand 2))); then  # hatched shapes
        for ((k = 1 + $(rand 6); k > 0; --k)); do
            hatch+=(-tile "pattern:$(pick hs_fdiagonal hs_bdiagonal hs_cross hs_diagcross left45 right45 left30 horizontal vertical crosshatch45)")
            hatch+=(-draw "polygon $(p) $(p) $(p) $(p)")
        done
    fi
    local aa=(-antialias)
    (($(rand 3))) || aa=(+antialias)
    "$im" -size "${w}x$h" "xc:$bg" "${aa[@]}" -stroke "$ink" -strokewidth "$sw" -fill none "${cmds[@]}" \
        -fill "$ink" "${hatch[@]}" "$3"
}
icons=()
icon_art() {  # w h out
    local w=$1 h=$2 bg args=() k n s
    bg=$(pick white '#f0f0f0' '#2d2d2d' '#3465a4' '#fce94f' "$(color)")
    if (($(rand 3) == 0)); then  # flat-colour art: filled shapes in a few colours
        local palette=("$(color)" "$(color)" "$(color)" "$(color)")
        n=$((3 + $(rand 12)))
        for ((k = 0; k < n; ++k)); do
            args+=(-fill "$(pick "${palette[@]}")")
            case $(rand 3) in
                0) args+=(-draw "rectangle $(rand "$w"),$(rand "$h") $(rand "$w"),$(rand "$h")") ;;
                1) args+=(-draw "circle $(rand "$w"),$(rand "$h") $(rand "$w"),$(rand "$h")") ;;
                2) args+=(-draw "polygon $(rand "$w"),$(rand "$h") $(rand "$w"),$(rand "$h") $(rand "$w"),$(rand "$h")") ;;
            esac
        done
        local smooth=-antialias
        (($(rand 2))) || smooth=+antialias
        "$im" -size "${w}x$h" "xc:$bg" "$smooth" "${args[@]}" "$3"
        return
    fi
    local filter=(-filter "$(pick point point Lanczos Mitchell)")
    if (($(rand 2))); then  # one icon, large
        s=$(((w < h ? w : h) * (50 + $(rand 45)) / 100))
        "$im" -size "${w}x$h" "xc:$bg" \( "$(pick "${icons[@]}")" "${filter[@]}" -resize "${s}x$s" \) \
            -gravity center -composite "$3"
    else  # a grid of icons, as in a file manager
        s=$((16 * (1 + $(rand 6))))
        local cols=$((w / (s * 3 / 2) > 0 ? w / (s * 3 / 2) : 1)) rows=$((h / (s * 3 / 2) > 0 ? h / (s * 3 / 2) : 1))
        ((cols * rows > 60)) && rows=$((60 / cols > 0 ? 60 / cols : 1))
        args=()
        for ((k = 0; k < cols * rows; ++k)); do
            args+=(\( "$(pick "${icons[@]}")" "${filter[@]}" -resize "${s}x$s" \) -geometry "+$((k % cols * s * 3 / 2 + s / 4))+$((k / cols * s * 3 / 2 + s / 4))" -composite)
        done
        "$im" -size "${w}x$h" "xc:$bg" "${args[@]}" "$3"
    fi
}
pattern() {  # w h out
    local w=$1 h=$2 c1 c2 n
    c1=$(color) c2=$(pick white black "$(color)")
    case $(rand 4) in
        0) n=$((1 + $(rand 64)))  # checkerboard of n-pixel cells
           "$im" -size 2x2 xc:"$c1" -fill "$c2" -draw 'point 0,0 point 1,1' -scale "$((n * 100))%" \
               -write mpr:cell +delete -size "${w}x$h" tile:mpr:cell "$3" ;;
        1) n=$((1 + $(rand 40)))  # stripes, straight or slanted
           local cell=(-size 1x2 xc:"$c1" -fill "$c2" -draw 'point 0,0' -scale "100%x$((n * 100))%")
           if (($(rand 2))); then  # horizontal, or vertical
               (($(rand 2))) || cell+=(-transpose)
               "$im" "${cell[@]}" -write mpr:cell +delete -size "${w}x$h" tile:mpr:cell "$3"
           else
               "$im" "${cell[@]}" -write mpr:cell +delete -size "$((w + h))x$((w + h))" tile:mpr:cell \
                   -rotate "$((10 + $(rand 70)))" -gravity center -crop "${w}x$h+0+0" +repage "$3"
           fi ;;
        *) n=$((1 + $(rand 4)))  # ImageMagick's patterns, coloured and scaled
           "$im" -size "$(((w + n - 1) / n))x$(((h + n - 1) / n))" "pattern:$(pick checkerboard bricks circles crosshatch \
               crosshatch30 crosshatch45 fishscales gray25 gray50 hexagons horizontal horizontal3 horizontalsaw \
               hs_diagcross leftshingle octagons right30 smallfishscales vertical3 verticalbricks verticalsaw)" \
               -scale "$((n * 100))%" -crop "${w}x$h+0+0" +repage +level-colors "$c1,$c2" "$3" ;;
    esac
}
gradient() {  # w h out
    local w=$1 h=$2
    case $(rand 4) in
        0 | 1) "$im" -size "${w}x$h" -define "gradient:angle=$(rand 360)" "gradient:$(color)-$(color)" "$3" ;;
        2) "$im" -size "${w}x$h" "radial-gradient:$(color)-$(color)" "$3" ;;
        3) "$im" -size "${w}x$h" "gradient:$(color)-$(color)" \( -size "${w}x$h" -define gradient:angle=90 \
               "gradient:$(color)-$(color)" \) -compose multiply -composite "$3" ;;
    esac
}
noise() {  # w h out
    local w=$1 h=$2 gray=()
    (($(rand 2))) && gray=(-colorspace gray)
    case $(rand 4) in
        0 | 1) "$im" -seed "$RANDOM" -size "${w}x$h" "xc:$(pick gray50 gray20 gray80 "$(color)")" -attenuate "$((1 + $(rand 20)))e-1" \
               +noise "$(pick Gaussian Impulse Laplacian Multiplicative Poisson Uniform Random)" "${gray[@]}" "$3" ;;
        2) "$im" -seed "$RANDOM" -size "${w}x$h" plasma:fractal "${gray[@]}" "$3" ;;
        3) "$im" -seed "$RANDOM" -size "${w}x$h" xc: +noise Random -blur "0x$((1 + $(rand 12)))" -auto-level "${gray[@]}" "$3" ;;
    esac
}
# The generated kinds are drawn at the picture's size, or, where it is too small or thin for
# that, at 640 x 480 and cut down like a photograph.
generated() {  # category w h out.ppm
    local gw=$2 gh=$3
    if ((gw < 64 || gh < 48)) && [[ $1 != pattern && $1 != gradient && $1 != noise ]]; then gw=640 gh=480; fi
    case $1 in
        chart) chart "$gw" "$gh" "$scratch/gen.png" ;;
        drawing) drawing "$gw" "$gh" "$scratch/gen.png" ;;
        icon) icon_art "$gw" "$gh" "$scratch/gen.png" ;;
        pattern) pattern "$gw" "$gh" "$scratch/gen.png" ;;
        gradient) gradient "$gw" "$gh" "$scratch/gen.png" ;;
        noise) noise "$gw" "$gh" "$scratch/gen.png" ;;
    esac
    if ((gw != $2 || gh != $3)); then
        fit "$scratch/gen.png" "$2" "$3" >"$4"
    else
        "$im" "$scratch/gen.png" -flatten -type TrueColor ppm:"$4"
    fi
}

# encode CLASS IN.ppm OUT-without-extension: writes OUT.jpg or OUT.bmp; prints its details.
bmp_bits() { od -An -tu2 -j28 -N2 "$1" | tr -d ' '; }
bmp_compression() { od -An -tu4 -j30 -N4 "$1" | tr -d ' '; }
encode() {
    local q prog=()
    case $1 in
        jpg-q30-59) q=$((30 + $(rand 30))) ;;
        jpg-q60-89) q=$((60 + $(rand 30))) ;;
        jpg-q90-100) q=$((90 + $(rand 11))) ;;
        jpg-*) q=$((30 + $(rand 71))) ;;
    esac
    case $1 in
        jpg-q*) cjpeg -quality "$q" -outfile "$3.jpg" "$2"
                echo "q$q baseline 4:2:0" ;;
        jpg-progressive) cjpeg -quality "$q" -progressive -outfile "$3.jpg" "$2"
                         echo "q$q progressive 4:2:0" ;;
        jpg-444) (($(rand 2))) || prog=(-progressive)
                 cjpeg -quality "$q" -sample 1x1 "${prog[@]}" -outfile "$3.jpg" "$2"
                 echo "q$q $( ((${#prog[@]})) && echo progressive || echo baseline) 4:4:4" ;;
        jpg-gray) (($(rand 3))) || prog=(-progressive)
                  cjpeg -quality "$q" -grayscale "${prog[@]}" -outfile "$3.jpg" "$2"
                  echo "q$q $( ((${#prog[@]})) && echo progressive || echo baseline) gray" ;;
        bmp-*)
            local args
            case $1 in
                bmp-24) args=(-type TrueColor) ;;
                bmp-pal8) args=(-colors 256 -type Palette) ;;
                bmp-pal4) args=(-colors 16 -type Palette) ;;
                bmp-gray) args=(-colorspace Gray -type Palette) ;;
            esac
            "$im" "$2" "${args[@]}" -compress none "BMP3:$3.bmp"
            [[ $(bmp_compression "$3.bmp") == 0 ]] || die "$3.bmp is not an uncompressed BMP"
            echo "$(bmp_bits "$3.bmp")-bit" ;;
    esac
}

band_of() {  # w h
    local w=$1 h=$2 long=$(($1 > $2 ? $1 : $2))
    if ((w < 10 || h < 10)); then echo thin
    elif ((long < 256)); then echo "<256"
    elif ((long < 640)); then echo "256-639"
    elif ((long < 1024)); then echo "640-1023"
    else echo ">=1024"; fi
}

# make_item ID CATEGORY W H CLASS SEED SOURCE: one picture; prints its manifest line.
make_item() {
    local id=$1 category=$2 w=$3 h=$4 class=$5 item_seed=$6 source=$7
    RANDOM=$item_seed
    local ppm=$scratch/$id.ppm
    case $category in
        photo | photo-tuned | screenshot | document) fit "$source" "$w" "$h" >"$ppm" ;;
        dark) local gamma=()
              (($(rand 2))) || gamma=(-gamma 0.8)
              fit "$source" "$w" "$h" | "$im" - +level "0%,$((12 + $(rand 25)))%" "${gamma[@]}" ppm:"$ppm" ;;
        bright) if (($(rand 2))); then
                    fit "$source" "$w" "$h" | "$im" - +level "$((50 + $(rand 35)))%,100%" ppm:"$ppm"
                else
                    fit "$source" "$w" "$h" | "$im" - -evaluate multiply "$((18 + $(rand 15)))e-1" ppm:"$ppm"
                fi ;;
        gray) fit "$source" "$w" "$h" | "$im" - -colorspace gray -type TrueColor ppm:"$ppm" ;;
        *) generated "$category" "$w" "$h" "$ppm" ;;
    esac
    local details
    details=$(encode "$class" "$ppm" "$set_dir/pics/$id")
    rm -f "$ppm"
    local file
    file=$(cd "$set_dir" && ls "pics/$id".*)
    local got
    got=$("$im_identify" -format '%wx%h' "$set_dir/$file")
    [[ $got == "${w}x$h" ]] || die "$file is $got, not ${w}x$h"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$file" "$category" "$w" "$h" "$(band_of "$w" "$h")" \
        "$class" "$details" "${source##*/}"
}

# --- the plan -----------------------------------------------------------------------------------
build_start=$SECONDS
log "picture set: sources"
photo_list=$tmp/photos.tsv
tuned_list=$tmp/tuned.tsv
grep -v '^#' "$here/photos.tsv" | grep -v '^$' >"$photo_list"
grep -v '^#' "$root/bench/corpus.tsv" | grep -v '^$' >"$tuned_list"
if ((small)); then
    head -n 8 "$photo_list" >"$tmp/p" && mv "$tmp/p" "$photo_list"
    head -n 4 "$tuned_list" >"$tmp/p" && mv "$tmp/p" "$tuned_list"
fi
make_masters "$photo_list" "$src/photos"
make_masters "$tuned_list" "$src/tuned"
n_shots=$((small ? 4 : 48))
n_pages=$((small ? 4 : 40))
take_screenshots "$n_shots" "$src/screens"
for ((i = 0; i < n_pages; ++i)); do
    [[ -f $src/pages/page-$i.png ]] && continue
    RANDOM=$((seed * 104729 + i))
    make_page "$i" "$src/pages/page-$i.png"
done
# Two real scans of text that ship with scikit-image.
for scan in text page; do
    f=/usr/lib/python3/dist-packages/skimage/data/$scan.png
    if [[ -f $f && ! -f $src/pages/scan-$scan.png ]]; then
        "$im" "$f" -strip -type TrueColor "$src/pages/scan-$scan.png"
    fi
done
find /usr/share/icons/Adwaita /usr/share/icons/Tango /usr/share/icons/hicolor -name '*.png' \
    \( -path '*/48x48/*' -o -path '*/256x256/*' -o -path '*/32x32/*' -o -path '*/24x24/*' \) \
    ! -name '*symbolic*' | sort >"$src/icons.txt"
mapfile -t icons <"$src/icons.txt"
((${#icons[@]} > 20)) || die "too few icons in /usr/share/icons"

# sources_covering DIR W H: the sources of DIR that fill W x H enlarged at most 1.5 times (or,
# when none does, the largest ones).
declare -A source_dims
for f in "$src"/photos/*.png "$src"/tuned/*.png "$src"/screens/*.png "$src"/pages/*.png; do
    source_dims[$f]=$(dims "$f")
done
sources_covering() {
    local f sw sh found=()
    for f in "$1"/*.png; do
        read -r sw sh <<<"${source_dims[$f]}"
        ((sw * 3 >= $2 * 2 && sh * 3 >= $3 * 2)) && found+=("$f")
    done
    ((${#found[@]})) || found=("$(for f in "$1"/*.png; do read -r sw sh <<<"${source_dims[$f]}"; echo "$((sw * sh)) $f"; done | sort -rn | head -n 1 | cut -d' ' -f2)")
    printf '%s\n' "${found[@]}"
}

# Each category's pictures go round the formats and, within each format, round the size bands,
# so that its first 50 pictures meet every band with every format.
declare -A counts=(
    [photo]=400 [photo-tuned]=50 [screenshot]=260 [document]=200 [chart]=160 [drawing]=150
    [icon]=150 [pattern]=150 [gradient]=100 [noise]=120 [dark]=110 [bright]=110 [gray]=110)
if ((small)); then
    for c in "${!counts[@]}"; do counts[$c]=8; done
fi
plan=$tmp/plan.tsv
: >"$plan"
n=0
add() {  # category w h class source
    local class=$4
    [[ $class == bmp-pal4 && $flat_categories != *" $1 "* ]] && class=bmp-pal8
    printf '%s-%04d\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$n" "$1" "$2" "$3" "$class" "$((seed * 1000003 + n))" "$5" >>"$plan"
    n=$((n + 1))
}
source_dir_of() {
    case $1 in
        photo | dark | bright | gray) echo "$src/photos" ;;
        photo-tuned) echo "$src/tuned" ;;
        screenshot) echo "$src/screens" ;;
        document) echo "$src/pages" ;;
    esac
}
RANDOM=$seed
offset=0  # each category starts the round of formats elsewhere (for small sets)
for category in photo photo-tuned screenshot document chart drawing icon pattern gradient noise dark bright gray; do
    declare -A in_band=()
    declare -A per_source=()
    offset=$((offset + 3))
    for ((k = 0; k < counts[$category]; ++k)); do
        f=$(((k + offset) % 10))
        b=$(((k / 10 + f) % 5))
        read -ra choices <<<"${band_sizes[b]}"
        size=${sizes[choices[${in_band[$b]:-0} % ${#choices[@]}]]}
        in_band[$b]=$((${in_band[$b]:-0} + 1))
        w=${size%x*} h=${size#*x}
        source=-
        dir=$(source_dir_of "$category")
        if [[ -n $dir ]]; then
            mapfile -t candidates < <(sources_covering "$dir" "$w" "$h")
            key="$dir $w $h"
            source=${candidates[${per_source[$key]:-$RANDOM} % ${#candidates[@]}]}
            per_source[$key]=$((${per_source[$key]:-$RANDOM} + 1))
        fi
        add "$category" "$w" "$h" "${formats[f]}" "$source"
    done
    unset in_band per_source
done
# More at 1280 x 1024, where wrong passwords must be refused: each photograph that fills it and
# each screenshot whole.
k=0
while read -r f; do add photo 1280 1024 "${formats[k++ % 10]}" "$f"; done < <(sources_covering "$src/photos" 1280 1024)
k=3
for f in "$src"/screens/*.png; do add screenshot 1280 1024 "${formats[k++ % 10]}" "$f"; done

total=$(wc -l <"$plan")
log "picture set: $total pictures into $set_dir/pics (two at a time)"
rm -f "$set_dir"/pics/*
# Two workers, each on every other line of the plan, each with its own scratch folder.
workers=()
for part in 0 1; do
    (
        scratch=$tmp/worker$part
        mkdir -p "$scratch"
        awk -F'\t' -v p=$part 'NR % 2 == p' "$plan" | while IFS=$'\t' read -r id category w h class item_seed source; do
            printf '%s (%s %sx%s %s from %s)\n' "$id" "$category" "$w" "$h" "$class" "$source" >"$scratch/current"
            make_item "$id" "$category" "$w" "$h" "$class" "$item_seed" "$source"
        done >"$tmp/manifest.$part"
    ) &
    workers+=($!)
done
failed=0
for part in 0 1; do
    wait "${workers[part]}" || { failed=1; log "error: could not make $(cat "$tmp/worker$part/current")"; }
done
((failed == 0)) || die "some pictures could not be made"

{
    printf 'id\tfile\tcategory\twidth\theight\tband\tformat\tdetails\tsource\n'
    sort "$tmp"/manifest.[01]
} >"$tmp/manifest.tsv"
made=$(($(wc -l <"$tmp/manifest.tsv") - 1))
((made == total)) || die "$made pictures made of $total planned"

# tavelix-cli must read every kind of file made: one sample of each format and depth.
if [[ -n $cli ]]; then
    while IFS=$'\t' read -r file details; do
        "$cli" convert --force "$set_dir/$file" "$tmp/read-back.bmp" >/dev/null ||
            die "tavelix-cli cannot read $file ($details)"
    done < <(awk -F'\t' 'NR > 1 { split($8, d, " "); k = $7 " " d[2] " " d[3]; if (!(k in seen)) { seen[k] = 1; print $2 "\t" $8 } }' "$tmp/manifest.tsv")
fi
mv "$tmp/manifest.tsv" "$set_dir/manifest.tsv"
log "picture set ready in $set_dir: $made pictures, $(du -sh "$set_dir/pics" | cut -f1), built in $((SECONDS - build_start)) s"
