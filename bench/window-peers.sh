#!/usr/bin/env bash
# The window against other picture viewers of Debian (feh, nsxiv, gpicview, qimgv, eog and,
# when it installs, lximage-qt), each started on a real X server: how long from the start of
# the process until its picture is on the screen, the CPU time it spent until then and its
# peak memory; and how fast a key steps to the next picture of a series. Beside them runs
# least-qt (bench/window/least-qt-viewer.cpp): the least a Qt Widgets program does to show a
# picture, the floor under any viewer built on Qt as Tavelix is. It is no peer: the "best peer"
# lines leave it out.
#
# Pictures (made once in $PEERS_PICTURES, default tavelix-peers in the temporary folder):
# photographs of Debian packages (bench/make-corpus.sh), their colours toned down (saturation
# 60 %) and two squares of a pure colour painted in (one near the top left corner, one in the
# centre; a tenth of the shorter side each), so that no pixel of the photograph comes near the
# colour of a square and a square stays visible at any scaling a viewer applies:
#   one-1280/1280.jpg      1280 x 1024 JPEG (quality 90, baseline, cjpeg), magenta squares
#   one-1280-bmp/1280.bmp  the same pixels as a 24-bit BMP
#   one-6000/6000.jpg      6000 x 4000 JPEG, a photograph scaled up to it
#   series-1280/, series-6000/  ten pictures each, 01.jpg to 10.jpg, whose squares change
#                          colour from one picture to the next
# (each in a folder of its own: viewers that are given one file step through its folder)
#
# How it measures: every viewer has an X server of its own (Xvfb, 1920 x 1080, 24 bits, no
# window manager), all of them on one D-Bus session bus, with a home folder of their own. Our
# poller (bench/window/shown.c, compiled into the build folder) forks and execs the viewer,
# polls the screen (XShmGetImage of the root window, every 4th pixel of every 4th row, every
# 2 ms) until the colour of the squares is there, reads the viewer's CPU time at that moment
# (all its threads, /proc/PID/task/*/schedstat) and, after 500 ms more, its peak resident
# memory (VmHWM), then ends it. Runs are interleaved: viewer A run 1, viewer B run 1, ...; one
# run of each viewer and picture before the timed ones is not counted (disk cache, font cache,
# the viewer's first-run files). Stepping: the series started in each viewer (its first
# picture named, or all ten), then the viewer's "next" key pressed through XTest every 2 s and
# every 0.1 s; each step timed from the press until the next picture's colour is on the screen.
# At 0.1 s a viewer may skip pictures (a later one shows first: "skipped") or drop presses that
# arrive while it is busy, so that it never gets to the last picture ("not shown"; such a run
# ends 30 s after the last change); "all" is the median time from the first press until the
# last picture is on the screen, over the runs that got there (9 presses at 0.1 s: 0.8 s at
# best). Last, where Tavelix's own time goes before its first picture: the phases of its start
# (bench/window/startup-probe.c, preloaded, notes when it passes certain calls).
#
# Tavelix is the release build (BUILD, default build/; made when missing). Usage:
#   bench/window-peers.sh [runs]          (default 15; or RUNS=n)
#   STEP_RUNS=n     runs of each stepping measure (default 3, nine steps each)
#   VIEWERS="..."   the viewers to run (default: tavelix and every peer that is installed)
#   MEASURES="..."  any of: first steps profile (default all three)
#   KEEP=1          keeps the work folder (the raw results and the viewers' output)
#   REPORT=folder   prints the tables again from a kept work folder, running nothing
# Needs root or sudo to install what is missing (scripts/install-missing.sh).
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-${RUNS:-15}}
step_runs=${STEP_RUNS:-3}
measures=${MEASURES:-first steps profile}
build=${BUILD:-$root/build}
tavelix=$build/src/app/tavelix
pictures=${PEERS_PICTURES:-${TMPDIR:-/tmp}/tavelix-peers}
export CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}

log() { printf '%s\n' "$*" >&2; }
source "$root/bench/timing.sh"  # median
load() { cut -d' ' -f1-3 /proc/loadavg; }

# --- what is needed ------------------------------------------------------------------------
"$root/scripts/install-missing.sh" xvfb xauth dbus-daemon at-spi2-core gcc g++ pkg-config libx11-dev libxext-dev \
    libxtst-dev qt6-base-dev
for peer in feh nsxiv gpicview qimgv eog lximage-qt; do
    "$root/scripts/install-missing.sh" "$peer" || log "$peer could not be installed: left out"
done
"$root/bench/make-corpus.sh" >&2

if [[ ! -x $tavelix ]]; then
    log "building tavelix in $build"
    [[ -f $build/CMakeCache.txt ]] || (cd "$root" && cmake --preset release >/dev/null)
    nice -n 5 cmake --build "$build" --target tavelix -j 2 >/dev/null
fi
poller=$build/bench-window/shown
if [[ ! -x $poller || $root/bench/window/shown.c -nt $poller ]]; then
    mkdir -p "$build/bench-window"
    gcc -std=c11 -O2 -Wall -Wextra -o "$poller" "$root/bench/window/shown.c" -lXtst -lXext -lX11
fi

least=$build/bench-window/least-qt-viewer
if [[ ! -x $least || $root/bench/window/least-qt-viewer.cpp -nt $least ]]; then
    # shellcheck disable=SC2046
    g++ -std=c++20 -O2 -fPIC -Wall -Wextra -o "$least" "$root/bench/window/least-qt-viewer.cpp" \
        $(pkg-config --cflags --libs Qt6Widgets)
fi

# --- the pictures --------------------------------------------------------------------------
colours=(FF00FF 00FFFF FFFF00 FF0000 00FF00 0000FF FF8000 8000FF FF0080 00FF80 0080FF 80FF00)
im_convert=$(command -v convert-im6.q16 || command -v convert)

picture() {  # source width height colour output.jpg: toned down, squares painted, JPEG q90
    local w=$2 h=$3 s x y
    s=$(( (w < h ? w : h) / 10 ))
    x=$((w / 8)) y=$((h / 8))
    "$im_convert" "$1" -resize "${w}x${h}^" -gravity center -extent "${w}x${h}" -modulate 100,60 \
        -fill "#$4" -draw "rectangle $x,$y $((x + s - 1)),$((y + s - 1))" \
        -draw "rectangle $(((w - s) / 2)),$(((h - s) / 2)) $(((w + s) / 2 - 1)),$(((h + s) / 2 - 1))" \
        ppm:- | cjpeg -quality 90 -baseline -outfile "$5"
}

if [[ ! -f $pictures/DONE ]]; then
    log "making the pictures in $pictures"
    rm -rf "$pictures"
    mkdir -p "$pictures"/{one-1280,one-1280-bmp,one-6000,series-1280,series-6000}
    picture "$CORPUS/orig/p01-bridge.jpg" 1280 1024 "${colours[0]}" "$pictures/one-1280/1280.jpg"
    djpeg -bmp -outfile "$pictures/one-1280-bmp/1280.bmp" "$pictures/one-1280/1280.jpg"
    picture "$CORPUS/orig/p10-bird.jpg" 6000 4000 "${colours[0]}" "$pictures/one-6000/6000.jpg"
    mapfile -t originals < <(ls "$CORPUS"/orig/*.jpg | head -n 10)
    for i in "${!originals[@]}"; do
        picture "${originals[i]}" 1280 1024 "${colours[i]}" "$pictures/series-1280/$(printf %02d $((i + 1))).jpg"
        picture "${originals[i]}" 6000 4000 "${colours[i]}" "$pictures/series-6000/$(printf %02d $((i + 1))).jpg"
    done
    touch "$pictures/DONE"
fi

# --- the viewers ---------------------------------------------------------------------------
all_viewers=(tavelix least-qt feh nsxiv gpicview qimgv eog lximage-qt)
if [[ -n ${VIEWERS:-} ]]; then
    read -r -a viewers <<<"$VIEWERS"
else
    viewers=()
    for v in "${all_viewers[@]}"; do
        [[ $v == tavelix || $v == least-qt ]] || command -v "$v" >/dev/null || { log "$v is not installed: left out"; continue; }
        viewers+=("$v")
    done
fi

command_of() {  # viewer: the program
    case $1 in
        tavelix) printf '%s' "$tavelix" ;;
        least-qt) printf '%s' "$least" ;;
        *) printf '%s' "$1" ;;
    esac
}
# How each viewer is given a series and steps through it. Those that take one file step
# through its folder (each series has a folder of its own, named in order).
series_files() {  # viewer folder
    case $1 in
        tavelix | least-qt | feh | nsxiv) printf '%s\n' "$2"/*.jpg ;;
        *) printf '%s\n' "$2/01.jpg" ;;
    esac
}
step_key() {
    case $1 in
        tavelix) printf F3 ;;
        nsxiv) printf n ;;
        *) printf Right ;;
    esac
}
# Keys pressed once before stepping: the autoshow of Tavelix starts with its menu open.
pre_keys() {
    case $1 in
        tavelix) printf -- '-P Escape' ;;
    esac
}

# --- the servers ---------------------------------------------------------------------------
report=${REPORT:-}
if [[ -n $report ]]; then
    work=$report
    viewers=()
    for v in "${all_viewers[@]}"; do [[ -e $work/display.$v ]] && viewers+=("$v"); done
fi
[[ -n $report ]] || work=$(mktemp -d "${TMPDIR:-/tmp}/window-peers.XXXXXX")
pids=()
cleanup() {
    [[ -n $report ]] && return
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    [[ -n ${DBUS_SESSION_BUS_PID:-} ]] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
    [[ ${KEEP:-0} == 1 ]] && log "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# One session bus for all, as a desktop has; accessibility's bus starts on it when asked.
[[ -n $report ]] || eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null |
    { read -r a; read -r p; printf 'export DBUS_SESSION_BUS_ADDRESS=%q DBUS_SESSION_BUS_PID=%q\n' "$a" "$p"; })"

declare -A display
for v in "${viewers[@]}"; do
    [[ -n $report ]] && break
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -br -noreset 3>"$work/display.$v" 2>"$work/xvfb.$v.log" &
    pids+=($!)
    for _ in $(seq 100); do [[ -s $work/display.$v ]] && break; sleep 0.05; done
    [[ -s $work/display.$v ]] || { log "error: Xvfb did not start for $v"; cat "$work/xvfb.$v.log" >&2; exit 1; }
    display[$v]=:$(cat "$work/display.$v")
    mkdir -p "$work/home.$v/runtime"
    chmod 700 "$work/home.$v/runtime"
done

run() {  # viewer poller-options... -- files: one run, the poller's lines on standard output
    local v=$1
    shift
    env DISPLAY="${display[$v]}" HOME="$work/home.$v" XDG_CONFIG_HOME="$work/home.$v/.config" \
        XDG_CACHE_HOME="$work/home.$v/.cache" XDG_DATA_HOME="$work/home.$v/.local/share" \
        XDG_RUNTIME_DIR="$work/home.$v/runtime" \
        "$poller" -o "$work/output.$v.log" "$@"
}

# --- first picture -------------------------------------------------------------------------
first_pictures=(one-1280/1280.jpg one-1280-bmp/1280.bmp one-6000/6000.jpg)
first_names=("1280 x 1024 JPEG" "1280 x 1024 BMP" "6000 x 4000 JPEG")

if [[ " $measures " == *" first "* ]]; then
    log "first picture: ${#viewers[@]} viewers, 3 pictures, $runs runs each (load $(load))"
    mkdir -p "$work/first"
    [[ -n $report ]] || load > "$work/first/load.start"
    for ((r = 0; r <= runs && ! ${#report}; ++r)); do
        log "  run $r of $runs$( ((r == 0)) && printf ' (not counted)') (load $(load))"
        for p in "${!first_pictures[@]}"; do
            for v in "${viewers[@]}"; do
                line=$(run "$v" -c "${colours[0]}" -w 30 -- "$(command_of "$v")" "$pictures/${first_pictures[p]}") ||
                    { log "error: the poller failed on $v"; exit 1; }
                ((r == 0)) || printf '%s\n' "$line" >> "$work/first/$p.$v"
            done
        done
    done
    [[ -n $report ]] || load > "$work/first/load.end"
    runs=$(wc -l < "$work/first/0.tavelix" 2>/dev/null || echo "$runs")
    printf '\nTime to the first picture: from exec until it is on the screen (median of %d runs, min-max);\n' "$runs"
    printf 'CPU time of the viewer until then; peak RSS. Ratios: Tavelix / viewer (medians).\n'
    printf 'Load average (1, 5, 15 min) at the start: %s, at the end: %s\n' "$(cat "$work/first/load.start")" "$(cat "$work/first/load.end")"
    for p in "${!first_pictures[@]}"; do
        printf '\n%s\n' "${first_names[p]}"
        printf '%-11s %21s %21s %10s   %s\n' viewer "time s (min-max)" "CPU s (min-max)" "peak MB" "Tavelix / viewer: time CPU memory"
        for v in "${viewers[@]}"; do
            awk -v v="$v" '
                function median(a, n,   i, j, t) {
                    for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
                    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
                }
                $1 == "shown" { ++n; t[n] = $2; c[n] = $4; m[n] = $6 / 1024 }
                $1 == "timeout" { ++lost }
                END {
                    if (!n) { printf "%s timeout %d\n", v, lost; exit }
                    mint = maxt = t[1]; minc = maxc = c[1]
                    for (i = 1; i <= n; ++i) {
                        if (t[i] < mint) mint = t[i]; if (t[i] > maxt) maxt = t[i]
                        if (c[i] < minc) minc = c[i]; if (c[i] > maxc) maxc = c[i]
                    }
                    printf "%s %.3f %.3f %.3f %.3f %.3f %.3f %.1f %d\n", v, median(t, n), mint, maxt, median(c, n), minc, maxc, median(m, n), lost + 0
                }' "$work/first/$p.$v"
        done > "$work/first/$p.summary"
        awk '
            { name[NR] = $1; line[NR] = $0; if ($2 != "timeout") { t[NR] = $2; c[NR] = $5; m[NR] = $8 } }
            $1 == "tavelix" && $2 != "timeout" { T = $2; C = $5; M = $8 }
            $1 != "tavelix" && $1 != "least-qt" && $2 != "timeout" {
                if (bt == "" || $2 < bt) { bt = $2; btn = $1 }
                if (bc == "" || $5 < bc) { bc = $5; bcn = $1 }
                if (bm == "" || $8 < bm) { bm = $8; bmn = $1 }
            }
            END {
                for (i = 1; i <= NR; ++i) {
                    split(line[i], f, " ")
                    if (f[2] == "timeout") { printf "%-11s %21s\n", f[1], "timeout (" f[3] " runs)"; continue }
                    r = ""
                    if (T != "" && f[1] != "tavelix") r = sprintf("%6.2f %6.2f %6.2f", T / f[2], C / f[5], M / f[8])
                    printf "%-11s %6.3f (%5.3f-%6.3f) %6.3f (%5.3f-%6.3f) %10.1f   %s%s\n", f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], r,
                        (f[9] > 0 ? "  (" f[9] " timeouts)" : "")
                }
                if (T != "" && bt != "")
                    printf "%-11s %s %.2f (%s), CPU %.2f (%s), memory %.2f (%s)\n", "best peer", "Tavelix / best: time",
                        T / bt, btn, C / bc, bcn, M / bm, bmn
            }' "$work/first/$p.summary"
    done
fi

# --- stepping ------------------------------------------------------------------------------
if [[ " $measures " == *" steps "* ]]; then
    log "stepping: ${#viewers[@]} viewers, 2 series, 2 s and 0.1 s, $step_runs runs each (load $(load))"
    mkdir -p "$work/steps"
    step_colours=$(IFS=,; printf '%s' "${colours[*]:1:9}")
    [[ -n $report ]] || load > "$work/steps/load.start"
    for ((r = 1; r <= step_runs && ! ${#report}; ++r)); do
        log "  run $r of $step_runs (load $(load))"
        for series in 1280 6000; do
            for interval in 2000 100; do
                for v in "${viewers[@]}"; do
                    mapfile -t files < <(series_files "$v" "$pictures/series-$series")
                    # shellcheck disable=SC2046
                    run "$v" -c "${colours[0]}" -S "$step_colours" -k "$(step_key "$v")" $(pre_keys "$v") -i "$interval" \
                        -w 30 -- "$(command_of "$v")" "${files[@]}" >> "$work/steps/$series.$interval.$v" ||
                        { log "error: the poller failed on $v"; exit 1; }
                done
            done
        done
    done
    [[ -n $report ]] || load > "$work/steps/load.end"
    step_runs=$(grep -c '^steps' "$work/steps/1280.100.tavelix" 2>/dev/null || echo "$step_runs")
    printf '\nStepping with the key (F3 in Tavelix'"'"'s autoshow, n in nsxiv, Right in the others): from the\n'
    printf 'press until the next picture is on the screen; %d runs of 9 steps. Load average at the start:\n' "$step_runs"
    printf '%s, at the end: %s\n' "$(cat "$work/steps/load.start")" "$(cat "$work/steps/load.end")"
    for series in 1280 6000; do
        for interval in 2000 100; do
            if ((series == 1280)); then name="1280 x 1024 JPEG"; else name="6000 x 4000 JPEG"; fi
            printf '\n%s, a press every %s s\n' "$name" "$(awk -v i="$interval" 'BEGIN { print i / 1000 }')"
            printf '%-11s %21s %8s %8s %14s   %s\n' viewer "step ms (min-max)" skipped "not shown" "all s (runs)" \
                "Tavelix / viewer: step all"
            for v in "${viewers[@]}"; do
                awk -v v="$v" '
                    function median(a, n,   i, j, t) {
                        for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
                        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
                    }
                    $1 == "step" && $3 ~ /^[0-9.]+$/ { s[++n] = $3 }
                    $1 == "step" && $3 == "skipped" { ++skipped }
                    $1 == "step" && $3 == "timeout" { ++lost }
                    $1 == "step" && $3 == "early" { ++early }
                    $1 == "steps" { ++runs; if ($2 != "timeout") a[++na] = $2 }
                    $1 == "timeout" { ++runs; lost += 9 }
                    END {
                        all = na ? sprintf("%.3f", median(a, na)) : "-"
                        if (!n) { printf "%s - - - %s %d/%d %d %d %d\n", v, all, na, runs, skipped, lost, early; exit }
                        lo = hi = s[1]; for (i = 1; i <= n; ++i) { if (s[i] < lo) lo = s[i]; if (s[i] > hi) hi = s[i] }
                        printf "%s %.1f %.1f %.1f %s %d/%d %d %d %d\n", v, median(s, n), lo, hi, all, na, runs, skipped, lost, early
                    }' "$work/steps/$series.$interval.$v"
            done > "$work/steps/$series.$interval.summary"
            awk -v interval="$interval" '
                { line[NR] = $0 }
                $1 == "tavelix" { T = $2; A = $5 }
                END {
                    for (i = 1; i <= NR; ++i) {
                        split(line[i], f, " ")
                        r = ""
                        if (f[1] != "tavelix" && T != "-" && T != "" && f[2] != "-") r = sprintf("%6.2f", T / f[2])
                        # At 2 s, "all" is mostly the 16 s of the presses themselves.
                        if (f[1] != "tavelix" && interval < 1000 && A != "-" && A != "" && f[5] != "-") r = r sprintf(" %6.2f", A / f[5])
                        if (f[2] == "-") range = "-"; else range = sprintf("%6.1f (%5.1f-%6.1f)", f[2], f[3], f[4])
                        printf "%-11s %21s %8s %8s %14s   %s%s\n", f[1], range, f[7], f[8], f[5] " (" f[6] ")", r,
                            (f[9] > 0 ? "  (" f[9] " shown before their key)" : "")
                    }
                }' "$work/steps/$series.$interval.summary"
        done
    done
fi

# --- where Tavelix's time goes before its first picture -------------------------------------
# bench/window/startup-probe.c, preloaded, notes the times of a few calls (see there); the phases
# below are cut at them, and the last one ends at the poller's "shown". Medians over the runs.
if [[ " $measures " == *" profile "* && " ${viewers[*]} " == *" tavelix "* ]]; then
    probe=$build/bench-window/startup-probe.so
    if [[ ! -f $probe || $root/bench/window/startup-probe.c -nt $probe ]]; then
        gcc -std=c11 -O2 -Wall -Wextra -shared -fPIC -o "$probe" "$root/bench/window/startup-probe.c" -ldl
    fi
    mkdir -p "$work/profile"
    log "where Tavelix's time goes: $runs runs of each picture (load $(load))"
    [[ -n $report ]] || load > "$work/profile/load.start"
    profile_pictures=(one-1280/1280.jpg one-1280-bmp/1280.bmp one-6000/6000.jpg)
    for ((r = 0; r <= runs && ! ${#report}; ++r)); do
        for p in "${!profile_pictures[@]}"; do
            file=$pictures/${profile_pictures[p]}
            rm -f "$work/profile/probe.log"
            line=$(run tavelix -c "${colours[0]}" -s 0 -w 30 -e LD_PRELOAD="$probe" -e STARTUP_PROBE_LOG="$work/profile/probe.log" \
                -e STARTUP_PROBE_FILE="/$(basename "$file")" -- "$tavelix" "$file")
            ((r == 0)) && continue
            { printf '%s\n' "$line"; cat "$work/profile/probe.log"; } | awk '
                # Probe lines: EVENT WALL_START WALL_END CPU_START CPU_END [DETAIL], in ms.
                $1 == "shown" { shown = $2 * 1000; shown_cpu = $4 * 1000 }
                $1 == "main" && main == "" { main = $2; main_cpu = $4 }
                $1 == "qapplication" { qapp = $3; qapp_cpu = $5 }
                $1 == "exec" { loop = $2; loop_cpu = $4 }
                $1 == "dlopen" {
                    if ($6 == "libqxcb.so") { xcb_plugin += $3 - $2; xcb_plugin_cpu += $5 - $4 }
                    else if (main != "") { plugins += $3 - $2; plugins_cpu += $5 - $4 }
                }
                $1 == "xcb_connect" && main != "" { connect = $3 - $2; connect_cpu = $5 - $4 }
                $1 == "fonts" { fonts += $3 - $2; fonts_cpu += $5 - $4 }
                $1 == "open" && loop != "" && $2 >= loop {
                    if (opened == "") { opened = $2; opened_cpu = $4 }
                    read_end = $3; read_end_cpu = $5
                }
                $1 == "jpeg" { decode_start = $2; decode_start_cpu = $4; decode_end = $3; decode_end_cpu = $5 }
                $1 == "put" { put[++np] = $2; put_cpu[np] = $4 }
                END {
                    if (shown == "" || main == "" || loop == "" || opened == "") { print "incomplete"; exit }
                    if (decode_end == "") {  # BMP: our own codec, not seen
                        decode_start = decode_end = read_end; decode_start_cpu = decode_end_cpu = read_end_cpu
                    }
                    # The first pixels sent after the picture was decoded.
                    for (i = 1; i <= np; ++i) if (put[i] >= decode_end) { paint = put[i]; paint_cpu = put_cpu[i]; break }
                    if (paint == "") { paint = shown; paint_cpu = shown_cpu }
                    printf "%.1f %.1f  %.1f %.1f  %.1f %.1f  %.1f %.1f  %.1f %.1f  %.1f %.1f  %.1f %.1f  ",
                        main, main_cpu, qapp - main, qapp_cpu - main_cpu, xcb_plugin, xcb_plugin_cpu, connect, connect_cpu,
                        loop - qapp, loop_cpu - qapp_cpu, fonts, fonts_cpu, plugins, plugins_cpu
                    printf "%.1f %.1f  %.1f %.1f  %.1f %.1f  %.1f %.1f  %.1f %.1f  %.1f %.1f\n",
                        opened - loop, opened_cpu - loop_cpu, read_end - opened, read_end_cpu - opened_cpu,
                        decode_end - decode_start, decode_end_cpu - decode_start_cpu, paint - decode_end, paint_cpu - decode_end_cpu,
                        shown - paint, shown_cpu - paint_cpu, shown, shown_cpu
                }' >> "$work/profile/$p"
        done
    done
    # The loader's own account (glibc), once: how much of the first phase it is.
    [[ -n $report ]] || LD_DEBUG=statistics LD_DEBUG_OUTPUT="$work/profile/ld" "$tavelix" --version >/dev/null 2>&1 || true
    [[ -n $report ]] || load > "$work/profile/load.end"
    runs=$(wc -l < "$work/profile/0" 2>/dev/null || echo "$runs")
    mhz=$(awk -F: '/^cpu MHz/ { print $2 + 0; exit }' /proc/cpuinfo)
    printf '\nWhere Tavelix'"'"'s time goes before its first picture (medians of %d runs: wall-clock ms / CPU ms of\nall its threads; the window with ' "$runs"
    printf 'bench/window/startup-probe.c preloaded).\nLoad average at the start: %s, at the end: %s\n' \
        "$(cat "$work/profile/load.start")" "$(cat "$work/profile/load.end")"
    printf '%-52s %15s %15s %15s\n' "phase (wall ms / CPU ms)" "1280 JPEG" "1280 BMP" "6000 JPEG"
    labels=("exec to main() (loading, relocation, constructors)" "main() to QApplication built" \
        "  of which: the platform plugin (dlopen qxcb)" "  of which: connecting to the X server" \
        "QApplication to the event loop (window, fonts)" "  fonts (fontconfig, FreeType), in all phases" \
        "  other plugins loaded (image formats, input)" "event loop to the picture file opened" \
        "file read (opened to closed)" "JPEG decoded (libjpeg)" "decoded to the first pixels sent (BMP: decode too)" \
        "pixels sent to shown (X server, polling)" "total: exec to shown")
    for i in "${!labels[@]}"; do
        printf '%-52s' "${labels[i]}"
        for p in "${!profile_pictures[@]}"; do
            wall=$(grep -v incomplete "$work/profile/$p" | awk -v c=$((2 * i + 1)) '{ print $c }' | median)
            cpu=$(grep -v incomplete "$work/profile/$p" | awk -v c=$((2 * i + 2)) '{ print $c }' | median)
            printf ' %15s' "$(awk -v w="$wall" -v c="$cpu" 'BEGIN { printf "%.1f / %.1f", w, c }')"
        done
        printf '\n'
    done
    cycles=$(cat "$work/profile"/ld.* 2>/dev/null | sed -n 's/.*total startup time in dynamic loader: *\([0-9]*\) cycles.*/\1/p' | head -n 1)
    share=$(cat "$work/profile"/ld.* 2>/dev/null | sed -n 's/.*time needed for relocation: *[0-9]* cycles (\(.*\))/\1/p' | head -n 1)
    printf '(the dynamic loader alone, LD_DEBUG=statistics: %s cycles, %s ms at the %s MHz of /proc/cpuinfo,\n %s of it relocation; %s libraries linked)\n' \
        "$cycles" "$(awk -v c="${cycles:-0}" -v m="${mhz:-0}" 'BEGIN { printf "%.1f", m ? c / m / 1000 : 0 }')" "${mhz:-?}" "$share" \
        "$(ldd "$tavelix" | grep -c '=>')"
fi
