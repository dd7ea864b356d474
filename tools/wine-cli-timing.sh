#!/usr/bin/env bash
# Wall time of a command-line change under Wine against `reg add`, in
# alternating runs on one prefix with the Wine server kept running; prints
# the medians in milliseconds and their ratio.
#   wine-cli-timing.sh EXE [RUNS]   (TALVOREN_WINE_ARCH: win64 (default) or win32)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
runs=${2:-21}
prefix=$("$here/../tests/wine/make-prefix.sh" "${TALVOREN_WINE_ARCH:-win64}")
export WINEPREFIX="$prefix" WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true; rm -rf "$(dirname "$prefix")"' EXIT
wineserver -p
winexe="Z:${exe//\//\\}"
# Warm-up: both programs' files in the page cache, the user key exists.
wine reg add 'HKCU\Environment' /v TalvorenTiming /d warm /f >/dev/null 2>&1
wine "$winexe" -S TalvorenTiming warm
ms() { local s e; s=$(date +%s%N); "$@" >/dev/null 2>&1; e=$(date +%s%N); echo $(((e - s) / 1000000)); }
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
t_exe=() t_reg=()
for i in $(seq "$runs"); do
    t_exe+=("$(ms wine "$winexe" -S TalvorenTiming "v$i")")
    t_reg+=("$(ms wine reg add 'HKCU\Environment' /v TalvorenTiming /d "v$i" /f)")
done
m_exe=$(printf '%s\n' "${t_exe[@]}" | median)
m_reg=$(printf '%s\n' "${t_reg[@]}" | median)
echo "talvoren -S: median ${m_exe} ms; reg add: median ${m_reg} ms ($runs runs each, alternating)"
awk -v a="$m_exe" -v b="$m_reg" 'BEGIN {printf "ratio %.2f\n", a / b}'
# Most of a command-line run is mapping DLLs. The import table lists the ones
# Windows maps at start (with lld the window's DLLs, COM and the shell are
# delay-loaded and missing here; with GNU ld all come); Wine's trace shows what
# one run really maps, against reg.exe.
for objdump in i686-w64-mingw32-objdump objdump; do
    if command -v "$objdump" >/dev/null; then
        echo "DLLs loaded at start: $("$objdump" -p "$exe" | awk '/DLL Name:/ {printf "%s ", $3}')"
        break
    fi
done
mapped() { WINEDEBUG=+loaddll "$@" 2>&1 >/dev/null | sed -n 's/.*Loaded L"\([^"]*\)".*/\1/p' | sed 's/.*\\//' | tr '\n' ' '; }
echo "DLLs a talvoren -S run maps: $(mapped wine "$winexe" -S TalvorenTiming mapped)"
echo "DLLs a reg add run maps: $(mapped wine reg add 'HKCU\Environment' /v TalvorenTiming /d mapped /f)"
