#!/usr/bin/env bash
# Evaluates the guard of tavelix-cli assemble (a result that does not look assembled is refused,
# one with too little detail to tell is applied with a note) and tavelix-cli check, on a broad
# set of pictures of our own making that the guard was never tuned on (bench/guard-eval/
# make-set.sh builds it once: photographs, screenshots, documents, charts, drawings, icons,
# patterns, gradients, noise, dark, bright and gray pictures; 25 sizes; JPEG and BMP kinds).
#
# Each picture is scrambled with a random password (8 to 50 characters, in a file) into a new
# file, then assembled into new files (--out-dir) with:
#   - the right password (it must never be refused);
#   - TRIES random wrong passwords and TRIES passwords one character off the right one (they
#     must never be applied silently, and should be refused);
#   - the clear picture, never scrambled, assembled with a password (it should be refused);
# and check runs on the clear and on the scrambled picture. A small share of the pictures is
# also scrambled twice (with two passwords, and twice with the same) and assembled once with
# the right password. Last, the time of an in-place assemble of the 1280 x 1024 photographs
# with the guard against the same with --force (no guard), JPEG and BMP, median of ROUNDS.
#
# How outcomes are told (not by the wording of messages): refused = exit status 1, a message
# naming the file and no file written; applied with a note = a file written and a message
# naming the file that contains "note:"; applied silently = a file written, no note. A wrong
# password that gives the very permutations of the right one (the same file) counts apart.
# Exit status 2 of tavelix-cli (a usage error) stops the script. Pictures go in groups of GROUP
# (8) that share a password, a few files a command, -j 2, each file's outcome read apart.
#
# Usage: bench/guard-eval.sh [DIR]
#   DIR (or GUARD_EVAL_DIR): the set's cache folder, default out/guard-eval (out/guard-eval-small
#   with GUARD_EVAL_SMALL=1, about 100 pictures); the last run is kept in DIR/run.
#   TAVELIX_CLI=path: the tavelix-cli to evaluate; default: the release build (scripts/setup.sh
#   release, build/src/cli/tavelix-cli). It is copied first, so a rebuild meanwhile changes nothing.
#   GUARD_EVAL_TRIES (3), GUARD_EVAL_GROUP (8), GUARD_EVAL_ROUNDS (15), GUARD_EVAL_SEED (1).
# Exit status: 0 when it ran (the goals are printed, not asserted); 1 when something failed.
set -euo pipefail
shopt -s inherit_errexit
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
small=${GUARD_EVAL_SMALL:-0}
default_dir=$root/out/guard-eval
((small)) && default_dir=$root/out/guard-eval-small
dir=${1:-${GUARD_EVAL_DIR:-$default_dir}}
tries=${GUARD_EVAL_TRIES:-3}
group_size=${GUARD_EVAL_GROUP:-8}
rounds=${GUARD_EVAL_ROUNDS:-15}
seed=${GUARD_EVAL_SEED:-1}

log() { printf '%s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }
started=$SECONDS

# --- the program -------------------------------------------------------------------------------
if [[ -n ${TAVELIX_CLI:-} ]]; then
    cli_built=$TAVELIX_CLI
else
    "$root/scripts/setup.sh" release >&2
    cli_built=$root/build/src/cli/tavelix-cli
fi
for ((i = 0; i < 60; ++i)); do  # it may be being rebuilt
    [[ -x $cli_built ]] && break
    sleep 2
done
[[ -x $cli_built ]] || die "no tavelix-cli at $cli_built"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
run=$dir/run
rm -rf "$run"
mkdir -p "$run"
cli=$run/tavelix-cli
cp "$cli_built" "$cli"

# --- the set -------------------------------------------------------------------------------------
set_started=$SECONDS
"$root/bench/guard-eval/make-set.sh" "$dir" "$cli"
set_seconds=$((SECONDS - set_started))
manifest=$dir/manifest.tsv

# --- passwords ------------------------------------------------------------------------------------
chars='abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,-_!?#'
RANDOM=$seed
# Both set made, and never run in a subshell: one would draw from a RANDOM seeded anew, and the
# passwords would differ from run to run.
new_password() {  # a random password, 8 to 50 characters, no space at either end
    local p=
    while [[ -z $p || $p == " "* || $p == *" " ]]; do
        p=
        for ((c = 8 + RANDOM % 43; c > 0; --c)); do p+=${chars:RANDOM % ${#chars}:1}; done
    done
    made=$p
}
one_off() {  # password: the same with one character changed, at a random place
    local p=$1 at ch
    while :; do
        at=$((RANDOM % ${#p}))
        ch=${chars:RANDOM % ${#chars}:1}
        [[ $ch == "${p:at:1}" ]] && continue
        [[ $ch == " " ]] && ((at == 0 || at == ${#p} - 1)) && continue
        break
    done
    made=${p:0:at}$ch${p:at+1}
}

# --- running tavelix-cli --------------------------------------------------------------------------
failures=0
# tavelix CMD LOG ARGS...: runs tavelix-cli CMD; stdout and stderr into LOG.out and LOG.err; sets
# status. A usage error stops everything; a crash is counted.
tavelix() {
    local cmd=$1 logname=$2
    shift 2
    status=0
    "$cli" "$cmd" "$@" >"$logname.out" 2>"$logname.err" || status=$?
    if ((status == 2)); then
        log "tavelix-cli $cmd $*: usage error:"
        cat "$logname.err" >&2
        die "usage error (a bug of this script)"
    fi
    if ((status > 2)); then
        log "tavelix-cli $cmd ended with status $status on $* (see $logname.err)"
        failures=$((failures + 1))
    fi
}
declare -A outcome  # outcome[try,path]: R refused, N applied with a note, S silently, = same
# permutations as the right password, E failed otherwise
# assemble TRY PASSWORD-FILE OUT-DIR FILE...
assemble() {
    local try=$1 pw=$2 out=$3
    shift 3
    tavelix assemble "$out.log" -j 2 --no-flush --password-file "$pw" --out-dir "$out" -- "$@"
    local errors=() f line named note
    [[ -s $out.log.err ]] && mapfile -t errors <"$out.log.err"
    for f in "$@"; do
        named=0 note=0
        for line in "${errors[@]}"; do
            if [[ $line == *"$f: "* ]]; then
                named=1
                [[ $line == *note:* ]] && note=1
            fi
        done
        if [[ -f $out/${f##*/} ]]; then
            ((note)) && outcome[$try,$f]=N || outcome[$try,$f]=S
        elif ((status == 1 && named)); then
            outcome[$try,$f]=R
        else
            outcome[$try,$f]=E
            log "assemble ($try) of $f: neither written nor refused (status $status; see $out.log.err)"
            failures=$((failures + 1))
        fi
    done
}
declare -A said  # said[path]: S scrambled, N not scrambled, C cannot tell, E no answer
check() {  # LOG FILE...
    local logname=$1 line path verdict
    shift
    tavelix check "$logname" -j 2 -- "$@"
    for path in "$@"; do said[$path]=E; done
    while IFS= read -r line; do
        path=${line%%: *} verdict=${line#*: }
        case $verdict in
            "scrambled"*) said[$path]=S ;;
            "not scrambled"*) said[$path]=N ;;
            "cannot tell"*) said[$path]=C ;;
        esac
    done <"$logname.out"
    for path in "$@"; do
        if [[ ${said[$path]} == E ]]; then
            log "check of $path: no answer (see $logname.err)"
            failures=$((failures + 1))
        fi
    done
}

# --- the evaluation ---------------------------------------------------------------------------------
mapfile -t pictures < <(tail -n +2 "$manifest" | cut -f1,2 | shuf --random-source=<(yes "$seed"))
declare -A line_of
while IFS= read -r row; do line_of[${row%%$'\t'*}]=$row; done < <(tail -n +2 "$manifest")
n_pictures=${#pictures[@]}
n_groups=$(((n_pictures + group_size - 1) / group_size))
twice_every=10  # every tenth group is also scrambled twice
log "evaluating $n_pictures pictures in $n_groups groups of $group_size: $cli_built"
"$cli" --version >&2 || true
eval_started=$SECONDS
results=$run/results.tsv
{
    printf 'id\tcategory\twidth\theight\tband\tformat\tdetails\tright'
    for ((k = 1; k <= tries; ++k)); do printf '\twrong%d' "$k"; done
    for ((k = 1; k <= tries; ++k)); do printf '\toneoff%d' "$k"; done
    printf '\tclear\tcheck_clear\tcheck_scrambled\ttwice_two\ttwice_same\tgroup\tscrambled\n'
} >"$results"
for ((g = 0; g < n_groups; ++g)); do
    gdir=$run/g$g
    mkdir -p "$gdir"
    clear=()
    for row in "${pictures[@]:g*group_size:group_size}"; do clear+=("$dir/${row#*$'\t'}"); done
    new_password
    password=$made
    printf '%s\n' "$password" >"$gdir/right.pw"
    for ((k = 1; k <= tries; ++k)); do
        new_password
        printf '%s\n' "$made" >"$gdir/wrong$k.pw"
        one_off "$password"
        printf '%s\n' "$made" >"$gdir/oneoff$k.pw"
    done

    tavelix scramble "$gdir/s.log" -j 2 --no-flush --password-file "$gdir/right.pw" --out-dir "$gdir/s" -- "${clear[@]}"
    scrambled=()
    for f in "${clear[@]}"; do
        if [[ -f $gdir/s/${f##*/} ]]; then
            scrambled+=("$gdir/s/${f##*/}")
        else
            log "scramble of $f failed (see $gdir/s.log.err)"
            failures=$((failures + 1))
        fi
    done
    ((${#scrambled[@]})) || continue
    assemble right "$gdir/right.pw" "$gdir/right" "${scrambled[@]}"
    for ((k = 1; k <= tries; ++k)); do
        assemble "wrong$k" "$gdir/wrong$k.pw" "$gdir/wrong$k" "${scrambled[@]}"
        assemble "oneoff$k" "$gdir/oneoff$k.pw" "$gdir/oneoff$k" "${scrambled[@]}"
    done
    assemble clear "$gdir/right.pw" "$gdir/clear" "${clear[@]}"
    check "$gdir/check" "${clear[@]}" "${scrambled[@]}"
    # A wrong password applied: the same file as the right password's (made with --force when
    # that was refused) means the very same permutations.
    for f in "${scrambled[@]}"; do
        name=${f##*/}
        for ((k = 1; k <= tries; ++k)); do
            for try in "wrong$k" "oneoff$k"; do
                [[ ${outcome[$try,$f]} == [NS] ]] || continue
                reference=$gdir/right/$name
                if [[ ! -f $reference ]]; then
                    reference=$gdir/reference/$name
                    mkdir -p "$gdir/reference"
                    [[ -f $reference ]] || "$cli" assemble --force --no-flush --password-file "$gdir/right.pw" \
                        -o "$reference" -- "$f" >/dev/null 2>&1 || true
                fi
                if cmp -s "$gdir/$try/$name" "$reference"; then outcome[$try,$f]='='; fi
            done
        done
    done
    if ((g % twice_every == 0)); then
        new_password
        printf '%s\n' "$made" >"$gdir/second.pw"
        tavelix scramble "$gdir/s2.log" -j 2 --no-flush --password-file "$gdir/second.pw" --out-dir "$gdir/s2" -- "${scrambled[@]}"
        tavelix scramble "$gdir/ss.log" -j 2 --no-flush --password-file "$gdir/right.pw" --out-dir "$gdir/ss" -- "${scrambled[@]}"
        twice_two=() twice_same=()
        for f in "${scrambled[@]}"; do
            [[ -f $gdir/s2/${f##*/} ]] && twice_two+=("$gdir/s2/${f##*/}")
            [[ -f $gdir/ss/${f##*/} ]] && twice_same+=("$gdir/ss/${f##*/}")
        done
        ((${#twice_two[@]})) && assemble twice "$gdir/second.pw" "$gdir/twice-two" "${twice_two[@]}"
        ((${#twice_same[@]})) && assemble twice "$gdir/right.pw" "$gdir/twice-same" "${twice_same[@]}"
    fi
    for row in "${pictures[@]:g*group_size:group_size}"; do
        id=${row%%$'\t'*} file=${row#*$'\t'}
        f=$gdir/s/${file##*/}
        [[ -f $f ]] || continue
        IFS=$'\t' read -r _ _ category w h band format details _ <<<"${line_of[$id]}"
        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s' "$id" "$category" "$w" "$h" "$band" "$format" "$details" "${outcome[right,$f]}"
        for ((k = 1; k <= tries; ++k)); do printf '\t%s' "${outcome[wrong$k,$f]}"; done
        for ((k = 1; k <= tries; ++k)); do printf '\t%s' "${outcome[oneoff$k,$f]}"; done
        printf '\t%s\t%s\t%s\t%s\t%s\tg%d\t%s\n' "${outcome[clear,$dir/$file]}" "${said[$dir/$file]}" "${said[$f]}" \
            "${outcome[twice,$gdir/s2/${file##*/}]:--}" "${outcome[twice,$gdir/ss/${file##*/}]:--}" "$g" "${f#"$run"/}"
    done >>"$results"
    # Keep what a developer may want to look at: the scrambled files and passwords, the logs.
    rm -rf "$gdir"/{right,wrong*/,oneoff*/,clear,reference,twice-two,twice-same,s2,ss}
    if (((g + 1) % 25 == 0)); then log "  $((g + 1)) of $n_groups groups ($((SECONDS - eval_started)) s)"; fi
    unset outcome said
    declare -A outcome said
done
eval_seconds=$((SECONDS - eval_started))

# --- the guard's time: in place, with the guard and with --force ------------------------------------
# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"
t=$run/timing
mkdir -p "$t"
printf '%s\n' "timing password 1280" >"$t/pw"
# Up to 8 colour JPEG photographs of the set at 1280 x 1024 that the right password assembled,
# and the same pictures as 24-bit BMP; scrambled with one password; those whose assemble is
# refused are left out (they would not be written, and so be quicker).
mapfile -t chosen < <(awk -F'\t' 'NR > 1 && $2 == "photo" && $3 == 1280 && $4 == 1024 &&
    index($6, "jpg-") == 1 && $6 != "jpg-gray" && ($8 == "S" || $8 == "N") { print $1 }' "$results" | head -n 8)
mkdir -p "$t/clear"
for id in "${chosen[@]}"; do
    cp "$dir/$(cut -f2 <<<"${line_of[$id]}")" "$t/clear/$id.jpg"
    "$cli" convert --no-flush "$t/clear/$id.jpg" "$t/clear/$id.bmp" >/dev/null
done
declare -A timed_files
for kind in jpg bmp; do
    files=("$t"/clear/*."$kind")
    [[ -f ${files[0]} ]] || { log "no 1280 x 1024 photograph for the timing"; break; }
    "$cli" scramble --no-flush --password-file "$t/pw" --out-dir "$t/$kind" -- "${files[@]}" >/dev/null
    "$cli" assemble --no-flush --password-file "$t/pw" --out-dir "$t/trial-$kind" -- "$t/$kind"/* >/dev/null 2>&1 || true
    for f in "$t/$kind"/*; do [[ -f $t/trial-$kind/${f##*/} ]] || rm "$f"; done
    count=$(find "$t/$kind" -type f | wc -l)
    if ((count)); then timed_files[$kind]=$count; else log "no $kind photograph assembled for the timing"; fi
done
# timed NAME FOLDER [OPTION...]: assembles in place a fresh copy of FOLDER; keeps the wall-clock
# time of the command (times[NAME]) and its processor time, user and system (times[cpu_NAME]),
# which the other work on a shared machine disturbs less.
timed() {
    local name=$1 from=$2 TIMEFORMAT='%R %U %S' real user sys
    shift 2
    rm -rf "$t/work"
    cp -r "$from" "$t/work"
    sync
    { time "$cli" assemble -j 1 "$@" --password-file "$t/pw" -- "$t/work"/* >/dev/null 2>&1 || true; } 2>"$t/time"
    read -r real user sys <"$t/time"
    times[$name]+="$(awk -v r="$real" 'BEGIN { printf "%d", r * 1e6 }') "
    times["cpu_$name"]+="$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1e6 }') "
}
for ((r = 1; r <= rounds; ++r)); do
    for kind in "${!timed_files[@]}"; do
        if ((r % 2)); then
            timed "guard_$kind" "$t/$kind"
            timed "force_$kind" "$t/$kind" --force
        else
            timed "force_$kind" "$t/$kind" --force
            timed "guard_$kind" "$t/$kind"
        fi
    done
done

# --- the report -------------------------------------------------------------------------------------
{
    printf '\n=== Guard evaluation: %d pictures, %s (%s, sha256 %s) ===\n' "$n_pictures" \
        "$("$cli" --version 2>/dev/null | head -n 1 || echo 'tavelix-cli ?')" "$cli_built" "$(sha256sum "$cli" | cut -c1-12)"
    printf 'set %s; %d wrong random and %d one-off passwords a picture; groups of %d\n' "$dir" "$tries" "$tries" "$group_size"
    python3 "$root/bench/guard-eval/tables.py" "$results" "$run"
    printf '\n== The guard'"'"'s time: assemble in place -j 1 of 1280 x 1024 photographs, %d rounds (median) ==\n' "$rounds"
    for kind in jpg bmp; do
        [[ -n ${timed_files[$kind]:-} ]] || continue
        printf '%-4s %d files: with the guard %s s, with --force %s s: ratio %.3f (goal: at most 1.05)\n' "$kind" \
            "${timed_files[$kind]}" "$(seconds "guard_$kind")" "$(seconds "force_$kind")" "$(ratio "guard_$kind" "force_$kind")"
        printf '     processor time (user + system): %s s against %s s: ratio %.3f\n' \
            "$(seconds "cpu_guard_$kind")" "$(seconds "cpu_force_$kind")" "$(ratio "cpu_guard_$kind" "cpu_force_$kind")"
    done
    printf '\nset built in %d s (0 when cached); evaluation %d s; all %d s\n' "$set_seconds" "$eval_seconds" "$((SECONDS - started))"
    printf 'the scrambled files, passwords and logs of this run: %s\n' "$run"
} | tee "$run/report.txt"
if ((failures)); then
    log "error: $failures failures while running (see above)"
    exit 1
fi
