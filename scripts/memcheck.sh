#!/usr/bin/env bash
# Runs tavelix-cli under valgrind (memcheck) over good and bad files: every command must end
# without an invalid access and without a leak. Installs valgrind when missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
"$root/scripts/setup.sh" release >/dev/null
"$root/scripts/install-missing.sh" valgrind libjpeg-turbo-progs
cli=$build/src/cli/tavelix-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Good files, and bad ones of every kind: truncated, garbage, empty, the wrong codec, and no
# regular file at all.
cp "$root/samples/sample.jpg" a.jpg
"$cli" convert a.jpg b.bmp
"$cli" gray a.jpg g.bmp
head -c 20000 a.jpg > truncated.jpg
head -c 3000 b.bmp > truncated.bmp
printf 'not a picture' > garbage.jpg
printf 'BM not a bitmap either' > garbage.bmp
: > empty.jpg
cp a.jpg jpeg-inside.bmp
# Files that are no pictures at all: refused before a byte is read.
mkfifo fifo.jpg
ln -s /dev/zero zero.bmp
mkdir folder.jpg
truncate -s 2G huge.bmp
printf 'correct horse\n' > pw.txt
# A progressive JPEG, which reduce --fast --factor 8 reads only in part (djpeg and cjpeg).
djpeg a.jpg | cjpeg -progressive -outfile progressive.jpg
# PNG (written and read), HEIC and WebP (only read), and damaged ones.
"$cli" convert a.jpg p.png
cp "$root/fuzz/corpus/heif/turned_90.heic" h.heic
cp "$root/fuzz/corpus/webp/alpha_lossy.webp" w.webp
head -c 30000 p.png > truncated.png
head -c 800 h.heic > truncated.heic
head -c 200 w.webp > truncated.webp
cp "$root/fuzz/crashers/heif/grid_canvas_634874688_pixels_for_100x16.heic" grid.heic

# libjpeg-turbo's SIMD code writes some bytes valgrind cannot follow; plain C gives the same pixels.
export JSIMD_FORCENONE=1
failed=0
check() {
    # With -q valgrind prints nothing but its reports; the program's own exit status is ignored
    # (bad files make it 1 on purpose).
    valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect,possible -q \
        "$cli" "$@" >/dev/null 2>valgrind.txt || true
    local reports
    reports=$(grep -c '^==[0-9]*==' valgrind.txt || true)
    [[ $reports -eq 0 ]] || { cat valgrind.txt; failed=1; }
    echo "memcheck: tavelix-cli $1: $reports reports"
}
all=(a.jpg b.bmp g.bmp truncated.jpg truncated.bmp garbage.jpg garbage.bmp empty.jpg jpeg-inside.bmp
     fifo.jpg zero.bmp folder.jpg huge.bmp)
check scramble --password-file pw.txt -j 2 "${all[@]}"
check assemble --password-file pw.txt -j 1 "${all[@]}"
check reduce --factor 4 "${all[@]}"
check gray a.jpg gray.jpg
check gray truncated.bmp gray2.bmp
check convert b.bmp c.jpg
check convert garbage.jpg d.bmp
check convert b.bmp c.jpg  # c.jpg exists: refused
# The options beyond the window: the guard and check, the JPEG remedies, the fast reductions,
# folders and standard input and output.
check check -j 2 "${all[@]}" progressive.jpg
check reduce --fast --factor 8 --force "${all[@]}" progressive.jpg
check reduce --fast --factor 2 --force progressive.jpg truncated.jpg
check scramble --full-chroma --password-file pw.txt -o fc.jpg a.jpg
check assemble --smooth --password-file pw.txt fc.jpg
check assemble --password-file pw.txt a.jpg  # not scrambled: refused
mkdir -p tree/sub && cp a.jpg b.bmp tree/sub/
check scramble -r --out-dir out --password-file pw.txt tree
check reduce --fast --factor 4 --format jpg - < progressive.jpg
check convert --format bmp - piped.jpg < b.bmp
newer=(p.png h.heic w.webp truncated.png truncated.heic truncated.webp grid.heic)
check scramble --password-file pw.txt -j 2 -o s.png h.heic
check assemble --password-file pw.txt -j 2 p.png s.png
check convert w.webp w.png
check check -j 2 "${newer[@]}"
check scramble --password-file pw.txt "${newer[@]}"  # HEIC and WebP in place: refused
exit $failed
