#!/usr/bin/env bash
# Times the window's batch commands on disk against tavelix-cli -j 1 on the same files: the
# 20 photographs of the corpus cut to 1280 x 1024 (bench/make-corpus.sh), scrambled as JPEG
# and as BMP files. The window runs headless (batch_bench: the real window, offscreen, with
# scripted answers) and times its command from start to end; tavelix-cli is timed as a whole
# process. For reference, the window's whole process (Qt's start included) is printed too. Both use the same engine and the same saves (each file replaced whole, and on the
# disk before it replaces the old one), and their files are checked to be byte for byte the
# same. Rounds are interleaved (window, cli, window, cli ...); the median of the per-round
# ratios is printed. Goal: the window's run takes at most 1.15 times the cli's.
#
# Usage: bench/window-batch.sh [rounds]     (default 5; or ROUNDS=n)
# Needs a developer build (BUILD, default build-dev/; made here when missing).
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-${ROUNDS:-5}}
build=${BUILD:-$root/build-dev}
cli=$build/src/cli/tavelix-cli
window=$build/bench/window/batch_bench
export CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}

log() { printf '%s\n' "$*" >&2; }

"$root/bench/make-corpus.sh" >&2
if [[ ! -x $cli || ! -x $window ]]; then
    log "building tavelix-cli and batch_bench in $build"
    [[ -f $build/CMakeCache.txt ]] || cmake --preset developer >/dev/null
    nice -n 5 cmake --build "$build" --target tavelix-cli batch_bench -j 2 >/dev/null
fi

# The work folder is on the same disk as the build, so that flushing costs what it costs there.
work=$(mktemp -d "$build/window-batch.XXXXXX")
trap 'rm -rf "$work"' EXIT
pw=$work/password
printf 'benchmark password\n' > "$pw"

q90=("$CORPUS"/q90/*.jpg)
bmps=("$CORPUS"/bmp/*.bmp)
log "corpus: ${#q90[@]} JPEGs and ${#bmps[@]} BMPs of 1280x1024; $rounds rounds"

source "$root/bench/timing.sh"

fresh() {  # folder files...: fresh copies (not timed); prints the folder
    local dir=$work/$1
    shift
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$@" "$dir/"
    printf '%s' "$dir"
}

# The window's own time of its command, in microseconds (NAME); the whole process with the
# window's start and end as well (NAME-process).
window_run() {  # name command files...
    local name=$1 command=$2 d seconds t0 t1
    shift 2
    d=$(fresh "$name" "$@")
    sync
    t0=${EPOCHREALTIME/./}
    seconds=$(QT_QPA_PLATFORM=offscreen "$window" "$command" "$pw" "$d"/* 2>"$work/err") ||
        { log "error: the window's $command failed:"; cat "$work/err" >&2; exit 1; }
    t1=${EPOCHREALTIME/./}
    times[$name]+="$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1e6 }') "
    times[$name-process]+="$((t1 - t0)) "
}

cli_run() {  # name command files...
    local name=$1 command=$2 d t0 t1
    shift 2
    d=$(fresh "$name" "$@")
    sync
    t0=${EPOCHREALTIME/./}
    "$cli" "$command" -j 1 --password-file "$pw" "$d"/* >/dev/null 2>"$work/err" ||
        { log "error: tavelix-cli $command failed:"; cat "$work/err" >&2; exit 1; }
    t1=${EPOCHREALTIME/./}
    times[$name]+="$((t1 - t0)) "
}

same_files() {  # folder folder: every file byte for byte the same
    local f
    for f in "$work/$1"/*; do
        cmp -s "$f" "$work/$2/$(basename "$f")" || { log "error: $(basename "$f") differs between $1 and $2"; exit 1; }
    done
}

for ((r = 1; r <= rounds; ++r)); do
    log "round $r of $rounds"
    window_run win_jpg scramble "${q90[@]}"
    cli_run cli_jpg scramble "${q90[@]}"
    ((r == 1)) && same_files win_jpg cli_jpg
    window_run win_bmp scramble "${bmps[@]}"
    cli_run cli_bmp scramble "${bmps[@]}"
    ((r == 1)) && same_files win_bmp cli_bmp
done

row() {  # label window cli goal
    local r verdict
    r=$(ratio "$2" "$3")
    verdict=$(awk -v r="$r" -v g="$4" 'BEGIN { print (r <= g) ? "met" : "MISSED" }')
    printf '%-44s %9s %9s %7.3f %7s  %s\n' "$1" "$(seconds "$2")" "$(seconds "$3")" "$r" "<= $4" "$verdict"
}
printf '\n%-44s %9s %9s %7s %7s\n' "window batch / tavelix-cli -j 1 (median of $rounds)" "window s" "cli s" "ratio" "goal"
row "scramble on disk, 20 JPEG of 1280x1024" win_jpg cli_jpg 1.15
row "scramble on disk, 20 BMP of 1280x1024" win_bmp cli_bmp 1.15
printf '%-44s %9s %9s %7.3f\n' "  whole window process (start, run, end), JPEG" "$(seconds win_jpg-process)" \
    "$(seconds cli_jpg)" "$(ratio win_jpg-process cli_jpg)"
printf '%-44s %9s %9s %7.3f\n' "  whole window process (start, run, end), BMP" "$(seconds win_bmp-process)" \
    "$(seconds cli_bmp)" "$(ratio win_bmp-process cli_bmp)"
