#!/usr/bin/env bash
# Makes the Debian package of Tavelix and checks it with the tools of the trade:
# desktop-file-validate, appstreamcli, man and lintian (errors fail; warnings are printed).
# With --check it also installs the package with apt-get, runs both programs from it
# (tavelix-cli --version and a HEIC picture converted; the window under xvfb-run until its
# caption shows) and removes it again, checking that nothing of it is left. Installs what it
# needs when missing.
# Usage: scripts/package.sh [--check] [output-folder]   (default: out/package)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check=0
if [[ ${1:-} == --check ]]; then check=1; shift; fi
out=$(realpath -m "${1:-$root/out/package}")
build=$root/build-package

packages=(g++ cmake make pkg-config libjpeg62-turbo-dev libspng-dev libheif-dev libwebp-dev libcli11-dev
          qt6-base-dev qt6-l10n-tools gettext fonts-dejavu-core
          dpkg-dev lintian desktop-file-utils appstream man-db)
((check)) && packages+=(xvfb xauth xdotool)
"$root/scripts/install-missing.sh" "${packages[@]}"

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)

# Debian's hardening flags, all of them, as a Debian build of the package would use them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"

echo "== checking the desktop files"
desktop-file-validate "$root/data/tavelix.desktop"
appstreamcli validate --no-net "$build/data/org.example.tavelix.metainfo.xml"
for page in "$build"/data/man/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || { echo "$page: $warnings" >&2; exit 1; }
done

echo "== making the package"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/tavelix_*.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Depends

echo "== lintian"
# Errors fail; warnings and the rest are printed. Run as root only because this machine is.
lintian --fail-on error --allow-root "$deb"

((check)) || exit 0

echo "== installing, running and removing the package"
"${as_root[@]}" apt-get install -y -qq "$deb" >/dev/null
files=$(dpkg -L tavelix | while read -r f; do [[ -f $f ]] && echo "$f"; done)
cleanup() { "${as_root[@]}" apt-get remove --purge -y -qq tavelix >/dev/null 2>&1 || true; }
trap cleanup EXIT
/usr/bin/tavelix-cli --version
# HEIC pictures decode through libraries no binary of ours links (libheif, loaded when first
# needed, and its HEVC decoder): the package's dependencies must bring them.
heic_check=$(mktemp -d)
/usr/bin/tavelix-cli convert -v "$root/fuzz/corpus/heif/turned_90.heic" "$heic_check/upright.png"
rm -rf "$heic_check"
# The window from the package, started as a desktop starts it on a picture ("Open with"),
# shows the picture's caption on a virtual screen; `tavelix --version` needs no screen.
/usr/bin/tavelix --version
SAMPLE=$root/samples/sample.jpg xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    /usr/bin/tavelix "$SAMPLE" 2>/dev/null &
    app=$!
    expected="Tavelix-sample.jpg (960 x 720) "
    for _ in $(seq 50); do
        caption=$(xdotool search --name "^Tavelix" getwindowname 2>/dev/null | grep "^Tavelix" | head -1 || true)
        [[ $caption == "$expected" ]] && break
        sleep 0.2
    done
    kill "$app"
    [[ $caption == "$expected" ]] || { echo "the window showed \"$caption\", not \"$expected\"" >&2; exit 1; }
    echo "window caption: $caption"
'
"${as_root[@]}" apt-get remove --purge -y -qq tavelix >/dev/null
trap - EXIT
left=$(for f in $files; do [[ -e $f ]] && echo "$f"; done || true)
[[ -z $left ]] || { echo "left behind after removal:" $left >&2; exit 1; }
echo "installed, ran and removed cleanly: $(wc -l <<<"$files") files"
