#!/usr/bin/env bash
# The export table of QTOKJNI.dll must be exactly the 39 stdcall-decorated entry
# points a 32-bit JVM looks up: _Java_qtokcom_qTokAPI_<method>@<8 + 4 per parameter>.
set -euo pipefail
dll=$1

# method:number of Java parameters
methods="Init:0 Uninit:0 GetLibVersion:0 GetDriverVersion:0
CreateContext:2 DeleteContext:0 OpenDevice:2 CloseDevice:0 Verify:3 ChangeCode:5
ResetSecurityState:1 Cleanup:1 GetProperty:4 SetProperty:4 GetSysInfo:1 GetVersionInfo:1
CreateDir:4 DeleteDir:3 ChangeDir:3 GetCurrentDir:4 Directory:3 CreateFile:2 DeleteFile:2
OpenFile:3 CloseFile:0 Read:5 Write:5 Decrement:2 GetFileInfo:4 GetAccessInfo:2
SetAccessInfo:2 HashToken:7 MD5HMAC:5 MD5CHAP:5 GenRandom:4 SMD5Hash:3 SMD5HMAC:7
SMD5CHAP:6 SMD5XOR:5"

expected=$(for m in $methods; do
  echo "_Java_qtokcom_qTokAPI_${m%%:*}@$((8 + 4 * ${m##*:}))"
done | sort)

file -b "$dll" | grep -q 'PE32 executable (DLL).*Intel 80386' ||
  { echo "not a PE32 i386 DLL: $(file -b "$dll")" >&2; exit 1; }

actual=$(i686-w64-mingw32-objdump -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -nE 's/^[[:space:]]*\[ *[0-9]+\] (.*)$/\1/p' | sort)

if [ "$(wc -l <<<"$expected")" -ne 39 ]; then
  echo "expected list is not 39 names" >&2; exit 1
fi
if [ "$actual" != "$expected" ]; then
  echo "export table differs (< expected, > actual):" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
echo "QTOKJNI.dll exports exactly the 39 entry points"
