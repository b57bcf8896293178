#!/bin/bash
# Static check of camgrip.dll: machine type and the names its JNI entry points are
# exported under. A 32-bit Windows JVM looks a native method up as
# _Java_<class>_<method>@<argument bytes> or as plain Java_<class>_<method>;
# MinGW's own stdcall form Java_..._<method>@<n> is found by neither.
# Usage: check_exports.sh OBJDUMP DLL POINTER_SIZE
set -u
objdump=$1 dll=$2 pointer_size=$3
fail=0

header=$("$objdump" -f "$dll") || { echo "cannot read $dll"; exit 1; }
if [ "$pointer_size" = 4 ]; then
  grep -q 'file format pei-i386' <<<"$header" || { echo "not a PE32 i386 DLL:"; echo "$header"; fail=1; }
else
  grep -q 'file format pei-x86-64' <<<"$header" || { echo "not a PE32+ x86-64 DLL:"; echo "$header"; fail=1; }
fi

# The export name table: lines "[ordinal] name" after "[Ordinal/Name Pointer] Table".
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\).*/\1/p')

prefix=Java_lumotool_camgripper_CaptureDevice_
# method and its stdcall argument bytes on i686 (JNIEnv*, jobject, then the arguments)
methods="enumDevices:8 start:16 stop:8 isRunning:8 destroy:8 setBounds:24 paint:12 getFormat:8 queryFormats:8 grab:12"
found=0
for entry in $methods; do
  m=${entry%%:*} n=${entry##*:}
  plain="$prefix$m"
  decorated="_$prefix$m@$n"
  if grep -qxF "$plain" <<<"$exports" || { [ "$pointer_size" = 4 ] && grep -qxF "$decorated" <<<"$exports"; }; then
    found=$((found + 1))
  else
    echo "missing export for $m (looked for $plain and $decorated)"
    fail=1
  fi
  if grep -qxF "$prefix$m@$n" <<<"$exports"; then
    echo "export $prefix$m@$n is in the form no JVM looks up"
    fail=1
  fi
done
# Nothing else of ours leaks out as a Java entry point under a wrong name.
others=$(grep -E '^_?Java_' <<<"$exports" | grep -vE "^_?${prefix}(enumDevices|start|stop|isRunning|destroy|setBounds|paint|getFormat|queryFormats|grab)(@[0-9]+)?$")
if [ -n "$others" ]; then
  echo "unexpected Java exports:"; echo "$others"; fail=1
fi
echo "entry points found: $found of 10"
[ "$found" = 10 ] || fail=1
exit $fail
