#!/usr/bin/env bash
# What `talvoren -X` prints against what a new Windows process really gets:
# Wine builds a process's environment from the two registry keys when it is
# started from outside Wine, as Windows does at logon, so `cmd /c set` shows
# it. For every name the two keys define, both must give the same value.
#   effective-vs-set.sh TALVOREN_EXE      (WINEPREFIX set by the run)
set -euo pipefail
exe=$1
export WINEDEBUG=-all
system='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
user='HKCU\Environment'
add() { wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null; }
remove() { wine reg delete "$1" /v "$2" /f >/dev/null 2>&1 || true; }
cleanup() {
    for name in TvEffSys TvEffSysExp TvEffShared TvEffUserExp; do
        remove "$system" "$name"
        remove "$user" "$name"
    done
}
trap cleanup EXIT

# References only within a scope, or from the user scope to the system's.
add "$system" TvEffSys REG_SZ 'C:\tvsys'
add "$system" TvEffSysExp REG_EXPAND_SZ '%SystemRoot%\tv;%TvEffSys%'
add "$system" TvEffShared REG_SZ 'from system'
add "$user" TvEffShared REG_SZ 'from user'
add "$user" TvEffUserExp REG_EXPAND_SZ '%TvEffSysExp%\u;%USERPROFILE%'

work=$(mktemp -d)
wine "$exe" -X | tr -d '\r' >"$work/x"
wine cmd /c set | tr -d '\r' >"$work/set"
names() { wine reg query "$1" | tr -d '\r' | sed -n 's/^    \([^ ]*\)    REG_\(EXPAND_\)\{0,1\}SZ.*/\1/p'; }
status=0
compared=0
for name in $( (names "$system"; names "$user") | sort -uf); do
    # A 32-bit process under WOW64 is given "x86" here, whatever the key
    # says; the key's value is what a native process gets.
    if [ "${name^^}" = PROCESSOR_ARCHITECTURE ]; then
        continue
    fi
    want=$(grep -i -m1 "^$name=" "$work/set" || true)
    got=$(grep -i -m1 "^$name=" "$work/x" || true)
    compared=$((compared + 1))
    if [ "${want,,}" != "${got,,}" ]; then
        echo "differs: cmd set: '$want'  talvoren -X: '$got'"
        status=1
    fi
done
rm -rf "$work"
echo "compared $compared names"
[ "$compared" -ge 5 ] || status=1
exit $status
