#!/usr/bin/env bash
# Runs the GNU parallel recipe of docs/cli.md ("Folders and pipelines") over ssh, on two
# stand-in hosts: two sshd processes of this machine on 127.0.0.1, each with its own config,
# host key and home folder (all in a temporary folder; the system's sshd and its config are
# not used), reached with a client key made for the run. Each stand-in starts its sessions in
# its own home folder, which holds nothing of the local work folder: a job finds there only
# what GNU parallel sent, as on a real machine of a cluster.
#
# 200 JPEGs (the 20 photographs of bench/make-corpus.sh, each cut to 10 sizes from 1280 x 1024
# down to 333 x 517) go through the recipe's two commands, scramble with --password-file and
# reduce --fast --factor 8, each reading the picture on standard input and writing the result
# on standard output:
#   local     parallel -j 2 on this machine: the reference
#   ssh -S    parallel -S host1,host2 with one job at a time on each host; each picture is sent
#             to the host that runs its job and the result brought back (--transferfile,
#             --return, --cleanup), the key file sent once to each host (--basefile)
#   ssh pipe  parallel -j 2 running "ssh host{%} tavelix-cli ..." with the redirections on this
#             side: the bytes go through ssh's standard input and output, nothing on the hosts'
#             disks but the key file
# The rounds are interleaved (local, ssh -S, ssh pipe, for each command), and in each round
# every output of the ssh runs is compared byte for byte (cmp) with the local one; the script
# exits non-zero when any differs or is missing, when a job fails, when the hosts are left with
# files, or when a host sees the local work folder (then the test would not show that the
# transfers work). The rates are pictures per second of the median round, on this machine's 2
# cores (the two hosts share them), which other work may share as well.
#
# Usage: bash bench/many-machines.sh [rounds]   (default 3; or ROUNDS=n)
# BUILD names the build folder with src/cli/tavelix-cli
# (default build/, configured like the release preset when missing). PORT chooses the first of
# the two ports (default: two free ones from 20000 on). Runs as root (sshd then needs its
# privilege separation folder /run/sshd, made when missing and removed after) or as a normal
# user (sshd then runs unprivileged and logs in only that user). Needs openssh-server,
# openssh-client, parallel, rsync and imagemagick (installed when missing, as root or through
# sudo).
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-${ROUNDS:-3}}
build=${BUILD:-$root/build}
export CORPUS=${CORPUS:-${TMPDIR:-/tmp}/tavelix-corpus}

log() { printf '%s\n' "$*" >&2; }
fail() { log "error: $*"; exit 1; }

# --- what is needed -------------------------------------------------------------------------
"$root/scripts/install-missing.sh" openssh-server openssh-client parallel rsync imagemagick
im_convert=$(command -v convert-im6.q16 || command -v convert)
sshd=$(command -v sshd || echo /usr/sbin/sshd)
[[ -x $sshd ]] || fail "no sshd found"
"$root/bench/make-corpus.sh" >&2
if [[ ! -f $build/CMakeCache.txt ]]; then
    log "configuring $build (release)"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVELIX_DEVELOPER=OFF >/dev/null
fi
cmake --build "$build" --target tavelix-cli -j 2 >/dev/null
cli=$(cd "$build" && pwd)/src/cli/tavelix-cli

# --- the stand-in hosts ---------------------------------------------------------------------
work=$(mktemp -d)
sshd_pids=()
made_privsep=
cleanup() {
    local pid
    for h in host1 host2; do  # the ssh connections kept open (ControlPersist), then the servers
        if [[ -S $work/ssh/cm-$h ]]; then ssh -F "$work/ssh/config" -O exit "$h" 2>/dev/null || true; fi
    done
    for pid in "${sshd_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${sshd_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    if [[ -n $made_privsep ]]; then rmdir /run/sshd 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
cd "$work"
mkdir -p ssh pics local
export PARALLEL_HOME=$work/parallel-home  # GNU parallel's own files, not in ~/.parallel

user=$(id -un)
if [[ $(id -u) -eq 0 && ! -d /run/sshd ]]; then
    mkdir -p /run/sshd && chmod 755 /run/sshd && made_privsep=yes
fi
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=${PORT:-20000}
ports=()
while ((${#ports[@]} < 2)); do
    ((port < 65536)) || fail "no free port found"
    port_free "$port" && ports+=("$port")
    port=$((port + 1))
done

ssh-keygen -q -t ed25519 -N '' -C many-machines-client -f ssh/client_key
cp ssh/client_key.pub ssh/authorized_keys
: > ssh/known_hosts
for i in 1 2; do
    h=host$i p=${ports[i - 1]}
    mkdir -p "$h"
    ssh-keygen -q -t ed25519 -N '' -C "$h" -f "ssh/${h}_key"
    printf '%s %s\n' "$h" "$(cut -d' ' -f1,2 "ssh/${h}_key.pub")" >> ssh/known_hosts
    # SetEnv HOME and the cd of ForceCommand give the host its own home and login folder; the
    # command asked for (the job, or rsync's end of a transfer) then runs as it would.
    cat > "ssh/sshd-$h.conf" <<EOF
ListenAddress 127.0.0.1
Port $p
HostKey $work/ssh/${h}_key
PidFile none
AuthorizedKeysFile $work/ssh/authorized_keys
AuthenticationMethods publickey
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
AllowUsers $user
UsePAM no
StrictModes no
SetEnv HOME=$work/$h
ForceCommand cd "\$HOME" && exec "\$SHELL" -c "\$SSH_ORIGINAL_COMMAND"
EOF
    "$sshd" -D -e -f "ssh/sshd-$h.conf" 2> "ssh/sshd-$h.log" &
    sshd_pids+=($!)
    cat >> ssh/config <<EOF
Host $h
    HostName 127.0.0.1
    Port $p
    HostKeyAlias $h
    ControlPath $work/ssh/cm-$h
EOF
done
cat >> ssh/config <<EOF
Host host1 host2
    User $user
    IdentityFile $work/ssh/client_key
    IdentitiesOnly yes
    UserKnownHostsFile $work/ssh/known_hosts
    StrictHostKeyChecking yes
    BatchMode yes
    LogLevel ERROR
    ControlMaster auto
    ControlPersist 60
EOF
ssh_cmd="ssh -F $work/ssh/config"
for i in 1 2; do
    h=host$i
    for _ in $(seq 100); do
        kill -0 "${sshd_pids[i - 1]}" 2>/dev/null || { cat "ssh/sshd-$h.log" >&2; fail "sshd of $h stopped"; }
        port_free "${ports[i - 1]}" || break
        sleep 0.1
    done
    where=$($ssh_cmd "$h" pwd) || { cat "ssh/sshd-$h.log" >&2; fail "cannot log in to $h"; }
    [[ $where == "$work/$h" ]] || fail "$h starts in $where, not in its own folder"
done
log "hosts: host1 = 127.0.0.1:${ports[0]}, host2 = 127.0.0.1:${ports[1]} (sshd as $user)"

# --- 200 pictures ---------------------------------------------------------------------------
sizes=(1280x1024 1024x768 1200x800 960x540 800x600 1000x1000 768x1024 640x480 1279x1021 333x517)
for photo in "$CORPUS"/q90/*.jpg; do
    for size in "${sizes[@]}"; do printf '%s\t%s\n' "$photo" "$size"; done
done | parallel -j 2 --colsep '\t' \
    "$im_convert {1} -gravity center -crop {2}+0+0 +repage -quality 85 pics/{1/.}-{2}.jpg"
mapfile -t pictures < <(printf '%s\n' pics/*.jpg)
((${#pictures[@]} == 200)) || fail "${#pictures[@]} pictures made, not 200"
printf 'a password for many machines\n' > key.txt

# --- the runs -------------------------------------------------------------------------------
source "$root/bench/timing.sh"
scramble="$cli scramble --password-file key.txt --format jpg -- -"
reduce="$cli reduce --fast --factor 8 --format jpg -- -"
timed() {  # name command...: runs the command over the pictures, keeps its time
    local name=$1 t0 t1
    shift
    t0=${EPOCHREALTIME/./}
    printf '%s\n' "${pictures[@]}" | "$@" || fail "$name: some jobs failed"
    t1=${EPOCHREALTIME/./}
    times[$name]+=" $((t1 - t0))"
}

# A host sees only what it is sent: the recipe's "< {}" runs on the host, so without a
# transfer it does not find the picture.
if parallel --ssh "$ssh_cmd" -S 1/host1 "$reduce < {} > /dev/null" ::: "${pictures[0]}" 2>/dev/null; then
    fail "host1 reads ${pictures[0]} without a transfer: the hosts see the local folder"
fi

remote=(parallel --ssh "$ssh_cmd" -S 1/host1,1/host2 --basefile key.txt --transferfile {} --cleanup)
differ=0 compared=0
for round in $(seq "$rounds"); do
    rm -rf local s pipe
    mkdir -p {local,s,pipe}/{scrambled,thumbs}
    log "round $round of $rounds"
    # scramble: locally, with -S (each picture sent to its host, the result brought back),
    # and piped through ssh (the key file on each host already)
    timed local-scramble parallel -j 2 "$scramble < {} > local/scrambled/{/}"
    timed S-scramble "${remote[@]}" --return s/scrambled/{/} \
        "mkdir -p s/scrambled && $scramble < {} > s/scrambled/{/}"
    for h in host1 host2; do cp key.txt "$h/"; done
    timed pipe-scramble parallel -j 2 "$ssh_cmd host{%} $scramble < {} > pipe/scrambled/{/}"
    for h in host1 host2; do rm -f "$h/key.txt"; done
    # reduce --fast: the same three ways
    timed local-reduce parallel -j 2 "$reduce < {} > local/thumbs/{/.}s8.jpg"
    timed S-reduce "${remote[@]}" --return s/thumbs/{/.}s8.jpg \
        "mkdir -p s/thumbs && $reduce < {} > s/thumbs/{/.}s8.jpg"
    timed pipe-reduce parallel -j 2 "$ssh_cmd host{%} $reduce < {} > pipe/thumbs/{/.}s8.jpg"

    # Every output against the local run's.
    left=$(find host1 host2 -mindepth 1 | head -n 5)
    [[ -z $left ]] || fail "files left on the hosts after --cleanup: $left"
    n_local=$(find local -name '*.jpg' -size +0 | wc -l)
    ((n_local == 2 * ${#pictures[@]})) || fail "the local run made $n_local pictures, not $((2 * ${#pictures[@]}))"
    for reference in local/*/*.jpg; do
        for run in s pipe; do
            compared=$((compared + 1))
            out=$run/${reference#local/}
            cmp -s "$reference" "$out" || { differ=$((differ + 1)); log "differs: $out"; }
        done
    done
done

mean_kb() { find "$@" -name '*.jpg' -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s / NR / 1024 }'; }
rate() { awk -v n=${#pictures[@]} -v s="$(seconds "$1")" 'BEGIN { printf "%.1f", n / s }'; }
printf '%d pictures (%s KB each on average; scrambled %s KB, thumbnails %s KB), %d rounds\n' \
    ${#pictures[@]} "$(mean_kb pics)" "$(mean_kb local/scrambled)" "$(mean_kb local/thumbs)" "$rounds"
printf '%-56s %12s %12s\n' "pictures per second (median round)" scramble "reduce --fast"
printf '%-56s %12s %12s\n' "local: parallel -j 2" "$(rate local-scramble)" "$(rate local-reduce)"
printf '%-56s %12s %12s\n' "ssh -S: parallel -S 1/host1,1/host2, files sent/returned" \
    "$(rate S-scramble)" "$(rate S-reduce)"
printf '%-56s %12s %12s\n' "ssh pipe: parallel -j 2 'ssh host{%} ... < in > out'" \
    "$(rate pipe-scramble)" "$(rate pipe-reduce)"
if ((differ)); then
    fail "$differ of $compared outputs of the ssh runs differ from the local run's or are missing"
fi
printf 'byte for byte: all %d outputs of the ssh runs are the same as the local run'"'"'s\n' "$compared"
