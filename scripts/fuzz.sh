#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer and
# coverage feedback) in build-fuzz/ and runs each target for a bounded time over a copy of its
# seed inputs and regression inputs. Fails on any crash, violated property, timeout, leak,
# memory blow-up or sanitizer report. New inputs the fuzzer finds stay in build-fuzz/; the
# repository is never written.
# Usage: scripts/fuzz.sh [seconds-per-target]   (default 60)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz
seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [seconds-per-target]" >&2
    exit 2
fi
targets=(bmp jpeg png heif webp picturefiles scramble)

packages=(clang libclang-rt-14-dev cmake make pkg-config libjpeg62-turbo-dev libspng-dev libheif-dev libwebp-dev)
"$root/scripts/install-missing.sh" "${packages[@]}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVELIX_FUZZ=ON -DTAVELIX_BUILD_WINDOW=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]/#/fuzz_}"

failed=()
for t in "${targets[@]}"; do
    work=$build/fuzz-run/$t
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/tmp"
    cp "$root/fuzz/corpus/$t/"* "$work/corpus/"
    find "$root/fuzz/crashers/$t" -type f ! -name '.*' -exec cp {} "$work/corpus/" \;
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/")
    case $t in
        jpeg | picturefiles) options+=(-dict="$root/fuzz/jpeg.dict") ;;
        png | heif | webp) options+=(-dict="$root/fuzz/$t.dict") ;;
    esac
    echo "== fuzz_$t for ${seconds}s"
    if TMPDIR=$work/tmp nice -n 10 "$build/fuzz/fuzz_$t" "${options[@]}" "$work/corpus" >"$work/log" 2>&1; then
        grep -E 'DONE +cov:' "$work/log" || true
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/log" || true
        if [[ -n $(ls -A "$work/tmp") ]]; then
            echo "fuzz_$t left files behind in $work/tmp" >&2
            failed+=("$t")
        fi
    else
        tail -n 60 "$work/log" >&2
        echo "fuzz_$t failed; log and failing input in $work" >&2
        failed+=("$t")
    fi
done

if ((${#failed[@]})); then
    echo "Fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
echo "Fuzzing passed: ${targets[*]} (${seconds}s each)"
