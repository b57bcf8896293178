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
  [ "$(stat -c %s "$log")" = $((expected * 27)) ] || exit 1

# A writer that hangs holding the turn: the first record waits for it, once; the
# others of the run are written without a wait (each would cost the whole wait).
wine_run 'C:\append_writer.exe' 'C:\held.log' hold 60 >"$WINEPREFIX/holder.out" &
for _ in $(seq 100); do grep -q held "$WINEPREFIX/holder.out" 2>/dev/null && break; sleep 0.2; done
waits=$(WINEDEBUG=+relay wine_run 'C:\append_writer.exe' 'C:\held.log' 1 4 2>&1 >/dev/null |
  grep -E 'Call [A-Za-z0-9]+\.WaitForSingleObject\(' | grep -v -i -E ',f{8}\)' | sed -E 's/.*,0*([0-9a-f]+)\).*/\1/' | sort | uniq -c | tr -s ' ')
echo "waits of the held writer (count, timeout in hex ms): $(echo $waits)"
[ "$(grep -c . "$c/held.log")" = 4 ] && [ "$(echo $waits)" = "3 0 1 7d0" ]
