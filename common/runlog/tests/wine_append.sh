#!/usr/bin/env bash
# Several processes appending to one log at once under Wine: no record may be lost
# or torn.
#   wine_append.sh APPEND_WRITER_EXE
set -uo pipefail
source "$ZAV_WINE_LIB"
export LC_ALL=C

wine_prefix_with "$1" append_writer.exe
writers=6
records=1000
statuses=()
pids=()
for w in $(seq "$writers"); do
  wine_run 'C:\append_writer.exe' 'C:\shared.log' "$w" "$records" &
  pids+=($!)
done
for p in "${pids[@]}"; do wait "$p"; statuses+=($?); done
log="$c/shared.log"
expected=$((writers * records))
whole=$(grep -c -E $'^writer [0-9]{3} record [0-9]{6}\r\r$' "$log")
distinct=$(sort -u "$log" | wc -l)
total=$(wc -l < "$log")
echo "writers' exit codes: ${statuses[*]}"
echo "records: $total lines, $whole whole, $distinct distinct, $expected written"
for s in "${statuses[@]}"; do [ "$s" = 0 ] || exit 1; done
[ "$total" = "$expected" ] && [ "$whole" = "$expected" ] && [ "$distinct" = "$expected" ] &&
  [ "$(stat -c %s "$log")" = $((expected * 27)) ]
