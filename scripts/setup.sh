#!/usr/bin/env bash
# Installs the Debian packages Tavelix needs (only those missing), then configures and builds
# with a preset of CMakePresets.json:
#   release    build/           the program alone (the default; what scripts/run.sh uses)
#   developer  build-dev/       with the tests, fuzz replays and benchmarks (scripts/test.sh)
#   ci         build-ci/        the same with every compiler warning an error (scripts/test.sh --ci)
#   sanitize   build-sanitize/  the tests under AddressSanitizer and UBSan (scripts/test.sh --sanitize)
# Usage: scripts/setup.sh [release|developer|ci|sanitize [cmake options...]]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-release}
shift $(( $# > 0 ? 1 : 0 ))

# What the program needs.
packages=(g++ cmake make pkg-config libjpeg62-turbo-dev libspng-dev libheif-dev libwebp-dev libcli11-dev
          qt6-base-dev qt6-l10n-tools gettext fonts-dejavu-core)
# What the tests and benchmarks need besides (zlib: PNG files made by hand; weston, Qt's
# Wayland platform and a virtual X server: the window's tests on Wayland; the accessibility
# bus and pyatspi: its test as a screen reader reads it; locales: the German locale the
# translations' tests run in).
developer_packages=(libgtest-dev libbenchmark-dev zlib1g-dev weston qt6-wayland xvfb xauth
                    at-spi2-core python3-pyatspi dbus-daemon locales)

case $preset in
    release) ;;
    developer | ci | sanitize) packages+=("${developer_packages[@]}") ;;
    *) echo "usage: $0 [release|developer|ci|sanitize [cmake options...]]" >&2; exit 2 ;;
esac
"$root/scripts/install-missing.sh" "${packages[@]}"
if [[ $preset != release ]] && ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    "$root/scripts/generate-locale.sh" de_DE.UTF-8
fi

cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset "$preset" "$@" >/dev/null
cmake --build --preset "$preset" -j "$jobs"
