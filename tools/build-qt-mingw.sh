#!/bin/bash
# Builds a static Qt 6.4.2 for 32-bit Windows for talvoren.exe to link: qtbase and qtsvg from
# Debian's qt6-base and qt6-svg source packages (the same 6.4.2 sources as Qt's own tag),
# cross-compiled with Debian's MinGW-w64 i686 (posix threads) compiler. About an hour on 2 cores.
#
# It is built for size: -Os instead of -O2 (Qt's optimize_size) and without the built-in MIME
# database (Windows answers file types itself). LEAN=0 builds it as qt6-i686-mingw.tar.xz was
# built, at -O2 with the MIME database.
#
#   needs: deb-src lines for bookworm in the apt sources (added when missing), or a qtbase and a
#          qtsvg source tree at $W/qtbase and $W/qtsvg
#   result: $PREFIX (default /opt/qt6-i686-mingw), relocatable; use it as TALVOREN_QT_WINDOWS with
#           QT_HOST_PATH=/usr and QT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake.
#   pack:  tar -cJf qt6-i686-mingw.tar.xz --exclude=opt/qt6-i686-mingw/doc -C / opt/qt6-i686-mingw
#
# Notes for consumers: Debian's host rcc compresses with zstd, which this Qt lacks, so build
# resources with `--no-zstd` (AUTORCC_OPTIONS); plugins are static (qwindows, the Windows styles,
# qsvg); talvoren picks the ones it links with qt_import_plugins (app/CMakeLists.txt).
set -euo pipefail
W=${W:-/tmp/qtx}; PREFIX=${PREFIX:-/opt/qt6-i686-mingw}; J=${J:-2}; LEAN=${LEAN:-1}
lean=()
if [[ $LEAN == 1 ]]; then
  lean=(-DFEATURE_optimize_size=ON -DFEATURE_mimetype_database=OFF)
fi
mkdir -p "$W" && cd "$W"
# Debian's source packages: add the deb-src lines once if they are missing.
if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package:'; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/debian-src.sources
  apt-get update -q >/dev/null
fi
apt-get install -y -q g++-mingw-w64-i686-posix qt6-base-dev qt6-base-dev-tools ninja-build cmake dpkg-dev >/dev/null
[[ -d qtbase ]] || { ls qt6-base_*.orig.tar.xz >/dev/null 2>&1 || apt-get source -q --download-only qt6-base >/dev/null
  mkdir qtbase; tar -xf qt6-base_*.orig.tar.xz -C qtbase --strip-components=1; }
# Debian's mirror does not always keep the qt6-svg source of bookworm; then give a checkout
# (git clone --branch v6.4.2 <qtsvg repository> $W/qtsvg).
[[ -d qtsvg ]] || { { ls qt6-svg_*.orig.tar.xz || apt-get source -q --download-only qt6-svg; } >/dev/null 2>&1 &&
  mkdir qtsvg && tar -xf qt6-svg_*.orig.tar.xz -C qtsvg --strip-components=1 || rm -rf qtsvg; }
# Debian strips wintab.h (so tablet support is off), and 6.4 leaves dynamicgl on without OpenGL.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if 0 \/\/ dynamicgl needs OpenGL, which is off/' qtbase/src/plugins/platforms/windows/qwindowswindow.cpp
cat > tc.cmake <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC
cmake -S qtbase -B b-base -G Ninja -DCMAKE_TOOLCHAIN_FILE=$W/tc.cmake \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX=$PREFIX -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
  "${lean[@]}"
cmake --build b-base -j$J
cmake --install b-base
[[ -d qtsvg ]] || { echo "no qtsvg source at $W/qtsvg: installed qtbase only"; exit 0; }
$PREFIX/bin/qt-cmake -S qtsvg -B b-svg -G Ninja -DQT_HOST_PATH=/usr -DCMAKE_BUILD_TYPE=Release \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
cmake --build b-svg -j$J
cmake --install b-svg
echo "Qt for i686 MinGW installed in $PREFIX"
