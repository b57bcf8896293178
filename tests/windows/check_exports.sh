#!/usr/bin/env bash
# Checks a built JNI library for Windows: its machine, and that its export table
# holds exactly the given names, nothing more and nothing less. A 64-bit JVM looks a
# native method up as plain Java_<class>_<method>; a 32-bit one as
# _Java_<class>_<method>@<argument bytes> or plain, never as MinGW's own stdcall
# form Java_<class>_<method>@<argument bytes>.
#   check_exports.sh OBJDUMP DLL i686|x86_64 NAME...
set -uo pipefail
objdump=$1 dll=$2 arch=$3
shift 3

header=$("$objdump" -p "$dll") || { echo "cannot read $dll" >&2; exit 1; }
case "$arch" in
  i686) format='file format pei-i386' ;;
  x86_64) format='file format pei-x86-64' ;;
  *) echo "unknown architecture $arch" >&2; exit 1 ;;
esac
grep -q "$format" <<<"$header" || { echo "$dll: not a $arch DLL" >&2; exit 1; }

# The export name table: lines "[ordinal] name" after "[Ordinal/Name Pointer] Table".
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$header" |
  sed -nE 's/^[[:space:]]*\[ *[0-9]+\] (.*)$/\1/p' | sort)
expected=$(printf '%s\n' "$@" | sort)
if [ "$actual" != "$expected" ]; then
  echo "$dll: export table differs (< expected, > actual):" >&2
  diff <(echo "$expected") <(echo "$actual") >&2
  exit 1
fi
echo "$(basename "$dll") ($arch) exports exactly the $# entry points"
