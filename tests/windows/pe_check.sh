#!/usr/bin/env bash
# Checks a built Windows program: its machine, its subsystem, its application
# manifest (asInvoker, Windows 7 to 11, no code page of its own), its exploit
# mitigations (ASLR, and high-entropy ASLR on x64; DEP; no section both writable and
# executable), and that it needs no DLL besides those Windows 7 has (the C and C++
# runtimes are linked in; no api-ms-win-* set, which Windows 7 lacks in part).
#   pe_check.sh FILE i686|x86_64 console|gui
set -euo pipefail
file=$1 arch=$2 subsystem=$3
objdump=${arch}-w64-mingw32-objdump
out=$("$objdump" -p "$file")

fail() { echo "pe_check: $file: $*" >&2; exit 1; }

case "$arch" in
  i686) grep -q '^architecture: i386' <<<"$(${objdump} -f "$file")" || fail "not i386"
        grep -q 'file format pei-i386' <<<"$out" || fail "not PE32 i386" ;;
  x86_64) grep -q 'file format pei-x86-64' <<<"$out" || fail "not PE32+ x86-64" ;;
esac
case "$subsystem" in
  console) grep -q 'Subsystem.*(Windows CUI)' <<<"$out" || fail "not a console program" ;;
  gui) grep -q 'Subsystem.*(Windows GUI)' <<<"$out" || fail "not a GUI program" ;;
esac

manifest=$("${arch}-w64-mingw32-windres" -i "$file" -O rc | sed -n '/^1 24 /,/^END/p')
[ -n "$manifest" ] || fail "no application manifest (resource 1 of type 24)"
for want in 'level=""asInvoker""' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' \
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
  grep -qF -- "$want" <<<"$manifest" || fail "the manifest lacks $want"
done
grep -qi 'activeCodePage' <<<"$manifest" && fail "the manifest sets a code page"

mitigations=$(sed -n '/^DllCharacteristics/,/^$/p' <<<"$out")
wanted_mitigations="DYNAMIC_BASE NX_COMPAT"
[ "$arch" = x86_64 ] && wanted_mitigations+=" HIGH_ENTROPY_VA"
for flag in $wanted_mitigations; do
  grep -qw "$flag" <<<"$mitigations" || fail "not marked $flag"
done
# A section objdump lists as code without READONLY can be written and run.
writable_code=$("$objdump" -h -w "$file" | awk '/CODE/ && !/READONLY/ {print $2}')
[ -z "$writable_code" ] || fail "sections both writable and executable: $writable_code"

dlls=$(grep 'DLL Name:' <<<"$out" | awk '{print tolower($3)}' | sort -u)
windows7_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|ws2_32|msvcrt|shlwapi|quartz|version|comctl32)\.dll$'
while read -r dll; do
  [ -z "$dll" ] && continue
  grep -E -q "$windows7_dlls" <<<"$dll" || fail "imports $dll, which is not one of the system DLLs of Windows 7"
done <<<"$dlls"
echo "pe_check: $file: $arch $subsystem, imports: $(tr '\n' ' ' <<<"$dlls")"
