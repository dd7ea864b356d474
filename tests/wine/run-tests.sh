#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, once in a 64-bit prefix (the
# program under WOW64) and once in a 32-bit one, each a fresh throwaway
# prefix that is removed afterwards.
#   run-tests.sh [BUILD_DIR] [ctest arguments...]
# TALVOREN_WINE_ARCHES picks the prefixes (default "win64 win32").
# A suite that fails is run once more: the window suites wait on Wine's
# window and clipboard messages, which now and then come later than a
# wait allows; a fault of the program fails both runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/windows}
shift || true
build=$(cd "$build" && pwd)
arches=${TALVOREN_WINE_ARCHES:-win64 win32}

# The message-box tests need a display; any other test runs without one.
run_display=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    run_display=(xvfb-run -a)
fi

status=0
prefix=""
cleanup() {
    if [ -n "$prefix" ]; then
        WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
        rm -rf "$(dirname "$prefix")"
    fi
}
trap cleanup EXIT

for arch in $arches; do
    start=$(date +%s)
    prefix=$("$here/make-prefix.sh" "$arch")
    echo "== Wine $arch prefix $prefix"
    # wineserver ends inside the display's lifetime, so Wine never sees its
    # display vanish.
    if ! WINEPREFIX="$prefix" WINEDEBUG=-all "${run_display[@]}" \
        bash -c 'ctest --test-dir "$0" --output-on-failure --timeout 900 --repeat until-pass:2 "$@"; rc=$?; wineserver -k 2>/dev/null; exit $rc' \
        "$build" "$@"; then
        echo "== Wine $arch: tests FAILED"
        status=1
    fi
    cleanup
    prefix=""
    echo "== Wine $arch: $(($(date +%s) - start)) s"
done
exit $status
