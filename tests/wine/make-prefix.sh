#!/usr/bin/env bash
# Makes a throwaway Wine prefix and prints its folder.
#   make-prefix.sh [win64|win32]
# win64 (the default) runs the 32-bit program under WOW64; win32 is a plain
# 32-bit Windows, where the WOW64 probe answers no.
set -euo pipefail
arch=${1:-win64}
case "$arch" in
    win64 | win32) ;;
    *) echo "usage: $0 [win64|win32]" >&2; exit 2 ;;
esac
parent=$(mktemp -d "${TMPDIR:-/tmp}/talvoren-wine-$arch.XXXXXX")
# Wine makes the prefix folder itself: a folder that exists but holds no
# prefix is refused for win32.
prefix="$parent/prefix"
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
# No display needed: wineboot creates no window that anyone has to see.
env -u DISPLAY wineboot -i >/dev/null 2>&1
wineserver -w
if [ ! -f "$prefix/system.reg" ]; then
    echo "wineboot did not create a prefix in $prefix" >&2
    exit 1
fi
echo "$prefix"
