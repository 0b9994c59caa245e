# A Debian package made by CPack: `cpack -G DEB` in a build configured for the /usr prefix
# (scripts/package.sh does it all). Dependencies come from the binaries (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME tavelix)
set(CPACK_PACKAGE_VENDOR "The Tavelix developers")
set(CPACK_PACKAGE_CONTACT "The Tavelix developers <tavelix@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture viewer that scrambles pictures with a password")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# CPack puts the summary first as the synopsis, indents this and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavelix shows JPEG and BMP pictures and scrambles them: a picture is cut into
column and row strips, the strips are shuffled by an order computed from a
password, and the result is saved as an ordinary picture file that anyone can
open and nobody can read until it is assembled with the same password. This
hides a picture from casual view; it is not encryption. The window and
tavelix-cli also scramble PNG pictures, and read HEIC and WebP photos.

Around it: 10 % zoom steps, clipping with the mouse, black and white,
JPEG/BMP/PNG conversion at a chosen quality, clipboard paste, a full-screen
slide show and batch runs on sets of files. tavelix-cli does the same from a
shell.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds no fonts of its own: without one no text is drawn. libheif is loaded when a HEIC
# file is first read, so it shows in no library our programs link; it reads the container of a
# HEIC file but decodes its HEVC picture through libde265: Debian 12's libheif1 depends on it,
# later releases make it a plugin of its own; either is needed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-dejavu-core | fonts-freefont-ttf, libheif1 (>= 1.15), libheif-plugin-libde265 | libde265-0")
# On a Wayland desktop the window runs natively with Qt's Wayland platform; without it, through
# XWayland. Qt's own translations give the standard buttons of its dialogs in the user's
# language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
