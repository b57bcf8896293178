#!/usr/bin/env bash
# QTOKJNI.dll under Wine against the scripted component registered as an in-process
# COM server of both class identifiers (in the registry view of its bitness).
#   binding_test.sh <binding_test.exe> <QTOKJNI.dll> <qtok_scripted_component.dll>
set -u
. "$ZAV_WINE_LIB"
wine_prefix_new
work=$(mktemp -d)
_WINE_EXTRA_CLEANUP="rm -rf '$work'"
cp "$@" "$work/"
cd "$work" || exit 1
exe=./$(basename "$1")
lib=$(wine_win "$work/$(basename "$2")")
server=$(wine_win "$work/$(basename "$3")")
# A 64-bit prefix has two views: a 64-bit DLL is registered in the 64-bit one. A
# 32-bit prefix has one.
view=()
[ "$WINEARCH" = win64 ] && view=(/reg:64)

wine_run_bounded 120 "$exe" "$lib" unregistered || exit 1
for clsid in '{47B3B650-CAE5-11D3-8D09-00A0C99FF62A}' '{3D5A26E5-FAC1-11D3-8D1E-00A0C99FF62A}'; do
  key="HKCR\\CLSID\\$clsid\\InprocServer32"
  wine_run reg add "$key" /ve /d "$server" /f "${view[@]}" >/dev/null 2>&1 || { echo "reg add $key failed"; exit 1; }
  wine_run reg add "$key" /v ThreadingModel /d Apartment /f "${view[@]}" >/dev/null 2>&1 || exit 1
done
wine_run_bounded 120 "$exe" "$lib" registered
