#!/bin/bash
# Runs the device layer test under Wine with an X server for its windows.
# Usage: device_layer_test.sh <device_layer_test.exe> <test_camera.dll>
set -u
. "$ZAV_WINE_LIB"
exe=$1 dll=$2
# The X server first: the prefix's desktop process is started with its display.
wine_xvfb || exit 1
wine_prefix_new
work=$(mktemp -d)
_WINE_EXTRA_CLEANUP="rm -rf '$work'"
cp "$exe" "$dll" "$work/"
cd "$work" || exit 1
# A hung program is stopped after 240 s, so the prefix is still torn down.
wine_run_bounded 240 ./"$(basename "$exe")" "$(wine_win "$work/$(basename "$dll")")"
status=$?
echo "device_layer_test exit status: $status"
exit $status
