#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs every test.
# With --sanitize: the same in a separate build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ ${1:-} == --sanitize ]]; then
    build=$root/build-sanitize
    "$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELIX_SANITIZE=ON -DTAVELIX_BUILD_BENCH=OFF
else
    build=$root/build
    "$root/scripts/setup.sh" "$build"
fi
cd "$build"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
