#!/usr/bin/env bash
# Sets up (packages, configure, build) with the developer preset in build-dev/ and runs every
# test. With --ci: the same with the ci preset in build-ci/, where every compiler warning is an
# error (what CI runs). With --sanitize: the same with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-sanitize/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=developer
[[ ${1:-} == --ci ]] && preset=ci
[[ ${1:-} == --sanitize ]] && preset=sanitize
"$root/scripts/setup.sh" "$preset"
cd "$root"
ctest --preset "$preset" -j "$(nproc 2>/dev/null || echo 2)"
