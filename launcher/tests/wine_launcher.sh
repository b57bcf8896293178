#!/usr/bin/env bash
# The real launcher.exe under Wine: registry, start script, exit codes, log bytes.
#   wine_launcher.sh LAUNCHER_EXE
set -uo pipefail
source "$ZAV_WINE_LIB"
export LC_ALL=C

exe=$1
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

wine_prefix_new
c=$(wine_unix 'C:\')
mkdir -p "$c/tools" "$c/apps/client/bin" "$c/apps/other"
cp "$exe" "$c/tools/launcher.exe"
# The start script records what it was given and the folder it runs in, then the test
# reads them back.
printf '@echo off\r\ncd> C:\\apps\\folder.txt\r\necho %%*> C:\\apps\\received.txt\r\n' > "$c/apps/client/bin/clientStartUp.bat"

node='HKLM\Software\JavaSoft\Prefs\norvane\zav'
log="$c/tools/launcher.log"
received="$c/apps/received.txt"

gbk_no_entry=$'\xd7\xa2\xb2\xe1\xb1\xed\xc3\xbb\xd3\xd0\xb8\xc3\xcf\xee:'
gbk_missing=$'\xce\xc4\xbc\xfe\xb2\xbb\xb4\xe6\xd4\xda:'
gbk_bad_format=$'\xb2\xce\xca\xfd\xb4\xed\xce\xf3[\xb2\xce\xca\xfd\xb8\xf1\xca\xbd\xb4\xed\xce\xf3],param='
gbk_no_arg=$'\xb2\xce\xca\xfd\xb4\xed\xce\xf3[\xc3\xbb\xd3\xd0\xb4\xab\xc8\xeb\xb2\xce\xca\xfd]'
gbk_exit=$'Launcher\xcd\xcb\xb3\xf6'

launch() {  # launch ARG... ; sets $status (signed)
  (cd "$c/tools" && wine_run 'C:\tools\launcher.exe' "$@" >/dev/null 2>&1)
  status=$(wine_status_signed $?)
}
wait_for() { local i; for i in $(seq 100); do [ -s "$1" ] && return 0; sleep 0.2; done; return 1; }
# The log's messages, one a line, after checking that every record has the exact shape.
messages() {
  local body
  body=$(cat "$log")
  local bad
  bad=$(sed -E $'s/\r\r$//' "$log" | grep -c -v -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} launcher\(:227\):')
  if [ "$bad" != 0 ] || [ "$(tail -c 3 "$log" | od -An -tx1 | tr -d ' ')" != 0d0d0a ] ||
     [ "$(grep -c $'\r\r$' "$log")" != "$(wc -l < "$log")" ]; then
    echo "malformed log:" >&2; od -c "$log" | head -20 >&2
    return 1
  fi
  sed -E $'s/^[^)]*\\):(.*)\r\r$/\\1/' "$log"
}
reset() { rm -f "$log" "$received" "$c/apps/folder.txt"; wine_run reg delete "$node" /f >/dev/null 2>&1; }

# 1. A followed link starts the script with the payload, in the script's own folder
# (the launcher is started from C:\tools); verbose log. A log over the 5 MiB cap is
# dropped first.
reset
truncate -s 6M "$log"
wine_run reg add "$node" /v alpha /d 'C:\apps\client' /f >/dev/null
launch 'nvzav://alpha$beta$log/'
check "started: exit 0" [ "$status" = 0 ]
check "script received isPortal and the payload" wait_for "$received"
check "parameters exact" [ "$(tr -d '\r' < "$received")" = 'isPortal alpha$beta$log' ]
check "the script ran in its own folder" [ "$(tr -d '\r' < "$c/apps/folder.txt")" = 'C:\apps\client\bin' ]
check "log: the oversized log dropped, argument and end record" [ "$(messages)" = $'nvzav://alpha$beta$log/\n'"$gbk_exit" ]

# 2. The first candidate's script is missing, the second works; quiet run.
reset
wine_run reg add "$node" /v first /d 'C:\apps\other' /f >/dev/null
wine_run reg add "$node" /v second /d 'C:\apps\client\' /f >/dev/null
launch 'nvzav://first$second'
check "second candidate: exit 0" [ "$status" = 0 ]
check "second candidate's script started" wait_for "$received"
check "second candidate's parameters" [ "$(tr -d '\r' < "$received")" = 'isPortal first$second' ]
check "log: missing-file record, no end record" \
  [ "$(messages)" = $'nvzav://first$second\n'"${gbk_missing}"'C:\apps\other\bin\clientStartUp.bat' ]

# 3. No preferences node at all: two node records, nothing started.
reset
launch 'nvzav://a$b$log'
check "no node: exit 0" [ "$status" = 0 ]
node_rec="${gbk_no_entry}"'Software\JavaSoft\Prefs\norvane\zav'
check "log: node record twice and the end record" \
  [ "$(messages)" = $'nvzav://a$b$log\n'"$node_rec"$'\n'"$node_rec"$'\n'"$gbk_exit" ]

# 4. An injection attempt is refused before anything is looked up or started.
reset
wine_run reg add "$node" /v alpha /d 'C:\apps\client' /f >/dev/null
arg='nvzav://alpha$b&echo INJECTED>C:\x.txt'
launch "$arg"
check "injection: exit -1" [ "$status" = -1 ]
sleep 3
check "injection: nothing started" [ ! -e "$received" ]
check "injection: no file written" [ ! -e "$c/x.txt" ]
check "log: format error with the raw argument" [ "$(messages)" = "$arg"$'\n'"$gbk_bad_format$arg" ]

# 5. No argument. The DLL search is narrowed to the system folder first thing.
reset
dll_search=$(cd "$c/tools" && WINEDEBUG=+relay wine_run 'C:\tools\launcher.exe' 2>&1 >/dev/null |
  grep -c -E 'Call KERNEL32\.SetDefaultDllDirectories\(0*800\)')
check "no argument: DLLs from the system folder only" [ "$dll_search" = 1 ]
reset
launch
check "no argument: exit -1" [ "$status" = -1 ]
check "log: (null) and the missing-argument record" [ "$(messages)" = $'(null)\n'"$gbk_no_arg" ]

# 6. Data that names no directory: 500 bytes of binary data with no terminator, empty
# text, a DWORD that reads "C:" as text. Each counts as missing, although the script
# of the drive's root exists; text too long for the path is never cut into another.
reset
mkdir -p "$c/bin"
cp "$c/apps/client/bin/clientStartUp.bat" "$c/bin/"
wine_run reg add "$node" /v long /t REG_BINARY /d "$(printf '44%.0s' $(seq 500))" /f >/dev/null
wine_run reg add "$node" /v empty /d '' /f >/dev/null
wine_run reg add "$node" /v dword /t REG_DWORD /d 0x00003a43 /f >/dev/null
wine_run reg add "$node" /v text499 /d "$(printf 'D%.0s' $(seq 499))" /f >/dev/null
launch 'nvzav://long$empty'
launch 'nvzav://dword$text499'
check "no directory: exit 0" [ "$status" = 0 ]
sleep 3
check "no directory: nothing started" [ ! -e "$received" ]
expected_cut="${gbk_missing}$(printf 'D%.0s' $(seq $((499 - ${#gbk_missing}))))"
check "no directory: missing-value records, the long path cut at the buffer" \
  [ "$(messages)" = $'nvzav://long$empty\n'"${gbk_no_entry}long"$'\n'"${gbk_no_entry}empty"$'\nnvzav://dword$text499\n'"${gbk_no_entry}dword"$'\n'"$expected_cut" ]
rm -rf "$c/bin"

# Registry data and a link holding CR LF or other control bytes: each record stays one
# line, its control bytes written visibly.
reset
forged=$'\r\n2026-01-01 00:00:00 launcher(:227):FORGED'
wine_run reg add "$node" /v f /d "C:\\x$forged" /f >/dev/null
launch 'nvzav://f$g'
launch $'nvzav://f\n2026-01-01 00:00:00 launcher(:227):FORGED\x1b$g'
check "control bytes: one line per record" [ "$(messages | grep -c FORGED)" = 3 ]
check "control bytes: written visibly" \
  [ "$(messages | sed -n 2p)" = "${gbk_missing}"'C:\x\r\n2026-01-01 00:00:00 launcher(:227):FORGED\bin\clientStartUp.bat' ]
check "control bytes: the link's line feed and escape too" \
  [ "$(messages | sed -n 4p)" = 'nvzav://f\n2026-01-01 00:00:00 launcher(:227):FORGED\x1b$g' ]

# 7. Oversized links. Windows gives a process at most 32767 characters of command line:
# the longest link that can arrive is refused with records cut at the buffer; a 64 KiB
# one never starts the launcher at all. Neither starts a script.
reset
wine_run reg add "$node" /v a /d 'C:\apps\client' /f >/dev/null
long="nvzav://a\$$(head -c 32000 /dev/zero | tr '\0' b)"
launch "$long"
check "32000-byte link: exit -1" [ "$status" = -1 ]
check "32000-byte link: two records cut at 499 bytes" \
  [ "$(messages | awk '{ print length($0) }' | tr '\n' ' ')" = "499 499 " ]
huge="nvzav://a\$$(head -c 65536 /dev/zero | tr '\0' b)"
launch "$huge"
check "64 KiB link: the launcher does not start" [ "$status" != 0 ] && [ "$(messages | wc -l)" = 2 ]
sleep 3
check "oversized links: nothing started" [ ! -e "$received" ]

# 8. Many launchers at once on one log: every record whole and present.
reset
n=${ZAV_CONCURRENT_LAUNCHERS:-50}
for i in $(seq "$n"); do
  (cd "$c/tools" && wine_run 'C:\tools\launcher.exe' "nvzav://k$i\$j$i\$log" >/dev/null 2>&1) &
done
wait
# Each run writes its argument, two missing-node records and the end record.
check "concurrent: all $((4 * n)) records present and whole" [ "$(messages | wc -l)" = $((4 * n)) ]
for i in 1 "$n"; do
  check "concurrent: run $i's argument record present" grep -q -F "launcher(:227):nvzav://k$i\$j$i\$log"$'\r' "$log"
done

# 9. Links with % are refused: cmd.exe would put environment values (or nothing) in
# place of the link's text.
for arg in 'nvzav://c1$x$%USERNAME%' 'nvzav://c1$x$%CD%' 'nvzav://c1$x$%RANDOM%' \
           'nvzav://c1$x$%PATH:~0,3%' 'nvzav://c1$x$%E4%B8%AD%20a' 'nvzav://c1$x$a%b' \
           'nvzav://c1$x$100%'; do
  reset
  wine_run reg add "$node" /v c1 /d 'C:\apps\client' /f >/dev/null
  launch "$arg"
  check "$arg: exit -1" [ "$status" = -1 ]
  check "$arg: format error with the raw argument" [ "$(messages)" = "$arg"$'\n'"$gbk_bad_format$arg" ]
  refused_pause=1
done
sleep 3
check "percent links: nothing started" [ ! -e "$received" ]
# A %NAME% in the client directory: the shell would expand it and start another
# installation's script (here C:\pWindows_NTq's); the candidate counts as missing.
reset
mkdir -p "$c/p%OS%q/bin" "$c/pWindows_NTq/bin"
cp "$c/apps/client/bin/clientStartUp.bat" "$c/p%OS%q/bin/"
cp "$c/apps/client/bin/clientStartUp.bat" "$c/pWindows_NTq/bin/"
wine_run reg add "$node" /v p /d 'C:\p%OS%q' /f >/dev/null
launch 'nvzav://p$none'
check "percent directory: exit 0" [ "$status" = 0 ]
sleep 3
check "percent directory: no script started" [ ! -e "$received" ]
check "percent directory: missing-file record" [ "$(messages)" = $'nvzav://p$none\n'"${gbk_missing}"'C:\p%OS%q\bin\clientStartUp.bat'$'\n'"${gbk_no_entry}none" ]
reset
wine_run reg add "$node" /v c1 /d 'C:\apps\client' /f >/dev/null
launch 'nvzav://c1$x$ a!b(c);d,e=f'"'"'g$log'
check "plain link: the script gets the payload verbatim" wait_for "$received"
check "plain link: parameters exact" [ "$(tr -d '\r' < "$received")" = "isPortal c1\$x\$ a!b(c);d,e=f'g\$log" ]

# 10. Code page 936: 區 (0x85 0x5E) and 亅 (0x81 0x7C) end in bytes that read as ^ and
# | one by one, and are one character each. The registry and the launcher get the
# GBK bytes from batch files, read by cmd.exe in that code page.
gbk_run() {  # gbk_run BATCH_LINES: run them in a batch file under code page 936
  printf '@echo off\r\n%s\r\nexit /b %%errorlevel%%\r\n' "$1" > "$c/tools/gbk.bat"
  (cd "$c/tools" && env LC_ALL=zh_CN.UTF-8 "$ZAV_WINE" cmd /c 'C:\tools\gbk.bat' >/dev/null 2>&1)
  status=$(wine_status_signed $?)
}
for name in $'\x85\x5e' $'\x81\x7c'; do
  reset
  gbk_run "reg add \"$node\" /v $name /d C:\\apps\\client /f"
  gbk_run "C:\\tools\\launcher.exe nvzav://$name\$x"
  hex=$(printf %s "$name" | od -An -tx1 | tr -d ' ')
  check "GBK name $hex: exit 0" [ "$status" = 0 ]
  check "GBK name $hex: script started" wait_for "$received"
  check "GBK name $hex: parameters exact" [ "$(tr -d '\r' < "$received")" = "isPortal $name\$x" ]
  check "GBK name $hex: only the argument record" [ "$(messages)" = "nvzav://$name\$x" ]
done

# A link the code page cannot hold: ก (Thai) arrives in the ANSI text as "?", which
# names another installation. (Passed from a UTF-8 locale, so Wine has the character.)
reset
wine_run reg add "$node" /v '?' /d 'C:\apps\client' /f >/dev/null
(cd "$c/tools" && env LC_ALL=C.UTF-8 "$ZAV_WINE" 'C:\tools\launcher.exe' 'nvzav://ก$zz' >/dev/null 2>&1)
status=$(wine_status_signed $?)
check "character the code page lacks: exit -1" [ "$status" = -1 ]
sleep 3
check "character the code page lacks: nothing started" [ ! -e "$received" ]
check "character the code page lacks: format error record" \
  [ "$(messages)" = $'nvzav://?$zz\n'"${gbk_bad_format}"'nvzav://?$zz' ]

# Names the code page cannot hold exactly. Registry data C:\apps\cŁient would read as
# C:\apps\cLient through the ANSI functions and start C:\apps\client's script: it
# names no installation. A launcher in C:\tools\Łódź writes its log beside itself.
reset
LC_ALL=C.UTF-8 wine_run reg add "$node" /v look /d 'C:\apps\cŁient' /f >/dev/null
mkdir -p "$c/tools/Łódź"
cp "$c/tools/launcher.exe" "$c/tools/Łódź/"
(cd "$c/tools" && env LC_ALL=C.UTF-8 "$ZAV_WINE" 'C:\tools\Łódź\launcher.exe' 'nvzav://look$x' >/dev/null 2>&1)
sleep 3
check "look-alike data: nothing started" [ ! -e "$received" ]
mv "$c/tools/Łódź/launcher.log" "$log" 2>/dev/null
check "look-alike data: logged like missing data, beside the executable" \
  [ "$(messages)" = $'nvzav://look$x\n'"${gbk_no_entry}look"$'\n'"${gbk_no_entry}x" ]
rm -rf "$c/tools/Łódź"

# A lead byte at index 7 takes the payload's first byte as its second: the parameters
# would begin with a lone | (舼 is 0xC5 0x7C), and cmd.exe would run what follows.
reset
gbk_run "reg add \"$node\" /v c1 /d C:\\apps\\client /f"
link=$'nvzav:a\xc5\x7cmkdir C:\\INJ $c1'
gbk_run "C:\\tools\\launcher.exe \"$link\""
check "trail byte first in the payload: exit -1" [ "$status" = -1 ]
sleep 3
nothing_ran() { [ ! -e "$received" ] && [ ! -e "$c/INJ" ] && [ ! -e "$c/tools/INJ" ]; }
check "trail byte first in the payload: nothing run" nothing_ran
check "trail byte first in the payload: format error record" \
  [ "$(messages)" = "$link"$'\n'"$gbk_bad_format$link" ]

# 11. A 64-bit prefix has two views of the node: a 32-bit client's Java writes the
# 32-bit one, a 64-bit client's the 64-bit one. Both are read, the 32-bit one first.
if [ "$WINEARCH" = win64 ]; then
  views_reset() { reset; wine_run reg delete "$node" /f /reg:32 >/dev/null 2>&1; }
  view_value() { wine_run reg add "$node" /v "$1" /d "$2" /f "/reg:$3" >/dev/null; }
  views_reset
  view_value only64 'C:\apps\client' 64
  launch 'nvzav://only64$x'
  check "64-bit view only: found" wait_for "$received"
  check "64-bit view only: one record" [ "$(messages)" = 'nvzav://only64$x' ]
  views_reset
  view_value only32 'C:\apps\client' 32
  launch 'nvzav://only32$x'
  check "32-bit view only: found" wait_for "$received"
  views_reset
  view_value both 'C:\apps\client' 32
  view_value both 'C:\apps\other' 64
  launch 'nvzav://both$x'
  check "both views: the 32-bit value's script started" wait_for "$received"
  check "both views: no missing-file record" [ "$(messages)" = 'nvzav://both$x' ]
  views_reset
  launch 'nvzav://a$b'
  check "neither view: exit 0" [ "$status" = 0 ]
  check "neither view: one node record per candidate" \
    [ "$(messages)" = $'nvzav://a$b\n'"$node_rec"$'\n'"$node_rec" ]
  # A stale 32-bit value whose directory has no script (a client that moved to a
  # 64-bit Java) hides no installation of the 64-bit view.
  views_reset
  view_value moved 'C:\apps\other' 32
  view_value moved 'C:\apps\client' 64
  launch 'nvzav://moved$x'
  check "stale 32-bit value: the 64-bit value's script started" wait_for "$received"
  check "stale 32-bit value: its missing script logged" \
    [ "$(messages)" = $'nvzav://moved$x\n'"${gbk_missing}"'C:\apps\other\bin\clientStartUp.bat' ]
  # 32-bit data that cannot be read (602 bytes): the 64-bit value, as the installer.
  views_reset
  wine_run reg add "$node" /v b_both /t REG_BINARY /d "$(printf '44%.0s' $(seq 602))" /f /reg:32 >/dev/null
  view_value b_both 'C:\apps\client' 64
  launch 'nvzav://b_both$x'
  check "unreadable 32-bit data: the 64-bit value's script started" wait_for "$received"
  views_reset
  view_value other 'C:\apps\client' 32
  launch 'nvzav://a$b'
  check "node in one view only: one value record per candidate" \
    [ "$(messages)" = $'nvzav://a$b\n'"${gbk_no_entry}a"$'\n'"${gbk_no_entry}b" ]
fi

echo "$failures failed"
[ "$failures" = 0 ]
