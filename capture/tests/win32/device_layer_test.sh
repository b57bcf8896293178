#!/bin/bash
# Runs the device layer test under Wine with an X server for its windows.
# Usage: device_layer_test.sh <renderer_probe.exe> <device_layer_test.exe> <test_camera.dll>
set -u
. "$ZAV_WINE_LIB"
probe=$1 exe=$2 dll=$3
# The X server first: the prefix's desktop process is started with its display.
wine_xvfb || exit 1
wine_prefix_new
wine_renderer_probe "$probe" || exit 1
work=$(mktemp -d)
_WINE_EXTRA_CLEANUP="rm -rf '$work'"
cp "$exe" "$dll" "$work/"
cd "$work" || exit 1
# A hung program is stopped after 240 s, so the prefix is still torn down.
wine_run_bounded 240 ./"$(basename "$exe")" "$(wine_win "$work/$(basename "$dll")")"
status=$?
echo "device_layer_test exit status: $status"
exit $status
