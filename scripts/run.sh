#!/usr/bin/env bash
# Sets up (packages, configure, build) and shows the main job: scrambling pictures.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
"$root/scripts/setup.sh" "$build"
"$build/bench/scramble_bench" --benchmark_min_time=0.2
