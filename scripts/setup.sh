#!/usr/bin/env bash
# Installs the Debian packages Tavelix needs (only those missing), then configures and builds.
# Usage: scripts/setup.sh [build-dir [cmake options...]]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
shift $(( $# > 0 ? 1 : 0 ))

packages=(g++ cmake make pkg-config libgtest-dev libbenchmark-dev libjpeg62-turbo-dev libcli11-dev
          qt6-base-dev fonts-dejavu-core)

"$root/scripts/install-missing.sh" "${packages[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j "$jobs"
