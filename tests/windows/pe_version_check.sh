#!/usr/bin/env bash
# Reads the version resource of a built Windows file back with the MinGW resource
# compiler: the project version as file and product version (in the fixed part and
# as text), the file's own name as original and internal name, company, copyright
# and the commit it was built from; and from its PE header what Windows and a
# debugger read: subsystem version 6.1 (Windows 7) and a CodeView build id.
#   pe_version_check.sh WINDRES FILE VERSION COMMIT
set -euo pipefail
windres=$1 file=$2 version=$3 commit=$4
name=$(basename "$file")
rc=$("$windres" -i "$file" -O rc) || { echo "$name: no resources" >&2; exit 1; }
fixed=$(tr '.' ',' <<<"$version"),0
fixed=${fixed//,/, }
want=("FILEVERSION $fixed" "PRODUCTVERSION $fixed" "\"FileVersion\", \"$version\""
      "\"ProductVersion\", \"$version\"" "\"OriginalFilename\", \"$name\"" "\"InternalName\", \"$name\""
      "\"ProductName\", \"ZAV client native companions\"" "\"CompanyName\", \"Norvane\""
      "\"LegalCopyright\", \"Copyright (C) 2026 Norvane\"" "\"Comments\", \"Built from commit $commit\"")
for line in "${want[@]}"; do
  grep -qF -- "$line" <<<"$rc" || { echo "$name: version resource lacks $line" >&2; echo "$rc" >&2; exit 1; }
done
header=$("${windres%windres}objdump" -p "$file")
for line in $'MajorSubsystemVersion\t6' $'MinorSubsystemVersion\t1' 'format RSDS signature'; do
  grep -qF -- "$line" <<<"$header" || { echo "$name: the PE header lacks $line" >&2; exit 1; }
done
echo "$name: version $version, named $name, commit $commit, subsystem 6.1, $(grep -o 'RSDS signature [0-9a-f]*' <<<"$header")"
