#!/bin/bash
# Runs the binding test under Wine with an X server for its windows.
# Usage: binding_test.sh <renderer_probe.exe> <binding_test.exe> <camgrip.dll> <test_camera.dll> <jawt.dll>
set -u
. "$ZAV_WINE_LIB"
probe=$1
shift
exe=$1
wine_xvfb || exit 1
wine_prefix_new
wine_renderer_probe "$probe" || exit 1
work=$(mktemp -d)
_WINE_EXTRA_CLEANUP="rm -rf '$work'"
cp "$@" "$work/"
cd "$work" || exit 1
args=()
for f in "${@:2}"; do args+=("$(wine_win "$work/$(basename "$f")")"); done
# A hung program is stopped after 240 s, so the prefix is still torn down.
wine_run_bounded 240 ./"$(basename "$exe")" "${args[@]}"
status=$?
echo "binding_test exit status: $status"
exit $status
