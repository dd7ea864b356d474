#!/usr/bin/env bash
# A save history entry undoes a change without Talvoren: after
# `talvoren -S`, the file `talvoren -H` names, imported by Wine's regedit,
# gives back the old value and its type (-E made it expandable).
#   history-regedit.sh TALVOREN_EXE      (WINEPREFIX set by the run)
set -euo pipefail
exe=$1
export WINEDEBUG=-all
user='HKCU\Environment'
trap 'wine reg delete "$user" /v TvHistory /f >/dev/null 2>&1 || true' EXIT

wine reg add "$user" /v TvHistory /t REG_SZ /d 'C:\tv hist;D:\x' /f >/dev/null
wine "$exe" -S -E TvHistory 'C:\only'
wine reg query "$user" /v TvHistory | tr -d '\r' | grep 'REG_EXPAND_SZ    C:\\only$' >/dev/null
# The whole list first: a reader that stops early would end the writer.
newest=$(wine "$exe" -H | tr -d '\r' | sed -n 1p)
file=$(printf '%s' "$newest" | cut -f5)
case "$(printf '%s' "$newest" | cut -f3,4)" in
"User	TvHistory") ;;
*) echo "newest entry is not the change"; exit 1 ;;
esac
wine regedit /s "$file"
got=$(wine reg query "$user" /v TvHistory | tr -d '\r' | grep TvHistory)
echo "$got"
[ "$got" = '    TvHistory    REG_SZ    C:\tv hist;D:\x' ]
