#!/usr/bin/env bash
# CI: the 32-bit Windows build (MinGW-w64 cross compiler) and its tests under
# Wine, unattended and without a display of its own. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/apt-shared-versions.sh
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

# wine64 gives the 64-bit prefix in which the 32-bit program runs under WOW64;
# the host's Qt gives moc and rcc to the window's cross build, and its
# catalogues Qt's own texts; lld and llvm-dlltool link the executable.
# nsis (makensis) makes the setup.
packages=(cmake ninja-build googletest g++-mingw-w64-i686 lld llvm nsis qt6-base-dev qt6-translations-l10n wine wine32:i386 wine64 xvfb xauth)
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
    # A mirror in the middle of a sync fails the update for a while; try again,
    # and let the install below judge what the indexes give.
    for attempt in 1 2 3 4 5; do
        $SUDO apt-get update -q && break
        sleep 30
    done
    install=(${SUDO:+"$SUDO"} apt-get install -y -q --no-install-recommends)
    log=$(mktemp)
    if ! "${install[@]}" "${missing[@]}" 2>&1 | tee "$log"; then
        if ! grep -q "held broken packages" "$log"; then exit 1; fi
        # The i386 index lags the amd64 one: take the blocking Multi-Arch:
        # same libraries at a version both architectures share.
        i386=() amd64=()
        for package in "${missing[@]}"; do
            if [[ $package == *:i386 ]]; then i386+=("$package"); else amd64+=("$package"); fi
        done
        shared=$(multiarch_same_pairs "${i386[*]}" "${amd64[*]}" | xargs -r apt-cache policy |
            shared_version_pins) || true
        if [ -z "$shared" ]; then
            echo "== the i386 packages cannot be installed, and no shared version helps"
            exit 1
        fi
        echo "== the mirror's i386 index lags the amd64 one; installing at the versions both share:"
        echo "$shared" | sed 's/^/==   /'
        # shellcheck disable=SC2086
        if ! "${install[@]}" --allow-downgrades "${missing[@]}" $shared; then
            codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
            echo "== once more, preferring $codename's own archive (-t $codename)"
            # shellcheck disable=SC2086
            "${install[@]}" --allow-downgrades -t "$codename" "${missing[@]}" $shared
        fi
    fi
    rm -f "$log"
fi

# The MinGW compiler finds lld under its own linker's name with ".lld" added.
if [ ! -e /usr/bin/i686-w64-mingw32-ld.lld ] && [ -x /usr/bin/ld.lld ]; then
    $SUDO ln -s /usr/bin/ld.lld /usr/bin/i686-w64-mingw32-ld.lld
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
