#!/usr/bin/env bash
# CI: the 32-bit Windows build (MinGW-w64 cross compiler) and its tests under
# Wine, unattended and without a display of its own. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

# wine64 gives the 64-bit prefix in which the 32-bit program runs under WOW64;
# the host's Qt gives moc and rcc to the window's cross build.
packages=(cmake ninja-build googletest g++-mingw-w64-i686 qt6-base-dev wine wine32:i386 wine64 xvfb xauth)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The window needs the prebuilt static Qt beside the repository
# (../shared/qt6-i686-mingw.tar.xz); the configure unpacks it into the build
# folder, or says that the build is the command line alone.
total=$(date +%s)
start=$(date +%s)
cmake --preset windows
cmake --build --preset windows
if command -v file >/dev/null; then file build/windows/app/talvoren.exe; fi
echo "== talvoren.exe: $(stat -c %s build/windows/app/talvoren.exe) bytes"
echo "== build: $(($(date +%s) - start)) s"

start=$(date +%s)
bash tests/wine/run-tests.sh build/windows
echo "== Wine tests: $(($(date +%s) - start)) s"
echo "== Windows part: $(($(date +%s) - total)) s"
