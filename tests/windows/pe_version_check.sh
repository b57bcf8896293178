#!/usr/bin/env bash
# Reads the version resource of a built Windows file back with the MinGW resource
# compiler: the project version as file and product version (in the fixed part and
# as text), the file's own name as original and internal name.
#   pe_version_check.sh WINDRES FILE VERSION
set -euo pipefail
windres=$1 file=$2 version=$3
name=$(basename "$file")
rc=$("$windres" -i "$file" -O rc) || { echo "$name: no resources" >&2; exit 1; }
fixed=$(tr '.' ',' <<<"$version"),0
fixed=${fixed//,/, }
want=("FILEVERSION $fixed" "PRODUCTVERSION $fixed" "\"FileVersion\", \"$version\""
      "\"ProductVersion\", \"$version\"" "\"OriginalFilename\", \"$name\"" "\"InternalName\", \"$name\""
      "\"ProductName\", \"ZAV client native companions\"")
for line in "${want[@]}"; do
  grep -qF -- "$line" <<<"$rc" || { echo "$name: version resource lacks $line" >&2; echo "$rc" >&2; exit 1; }
done
echo "$name: version $version, named $name"
