#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs every test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
"$root/scripts/setup.sh" "$build"
cd "$build"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
