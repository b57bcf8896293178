#!/usr/bin/env bash
# The notices hold the runtimes' own parts and the licence texts they name, not the
# whole copyright files (with every language GCC has, the headers and the tools).
#   notices_check.sh SOURCE_DIR
set -euo pipefail
notices=$("$1/script/notices")
for want in '^GCC RUNTIME LIBRARY EXCEPTION' '^Files: mingw-w64-libraries/winpthreads/\*' '^Files: mingw-w64-crt/gdtoa/\*' '^License: ISC'; do
  grep -q -- "$want" <<<"$notices" || { echo "notices lack $want" >&2; exit 1; }
done
if grep -nE '^(Ada|Go|D):|libphobos|^Files: mingw-w64-(headers|tools)' <<<"$notices" >&2; then
  echo "notices hold parts of what is not linked" >&2
  exit 1
fi
echo "notices: $(wc -c <<<"$notices") bytes"
