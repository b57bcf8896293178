#!/usr/bin/env bash
# A record written while the clock stands past January 2038 keeps its date.
#   wine_clock.sh CLOCK_WRITER_EXE
set -uo pipefail
source "$ZAV_WINE_LIB"
export LC_ALL=C

wine_prefix_with "$1" clock_writer.exe
wine_run 'C:\clock_writer.exe' 'C:\clock.log' || exit 1
expected=$'2040-03-01 10:00:00 launcher(:227):past 2038\r\r'
if [ "$(cat "$c/clock.log" 2>/dev/null)" != "$expected" ]; then
  echo "FAIL: the log holds:"; od -c "$c/clock.log" 2>&1 | head -5
  exit 1
fi
echo "ok   the record of 2040-03-01 10:00:00 is written with its date"
