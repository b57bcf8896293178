#!/usr/bin/env bash
# zavserviceInstaller2 end to end under Wine: real sockets, registry, service manager
# and shell, with the test service program standing in for the client's service.
#
#   installer_e2e.sh CASE INSTALLER_EXE SERVICE_EXE
#
# Each case gets a fresh prefix. The ports 11999 and 11997 are fixed, so the cases
# run one at a time.
set -uo pipefail

case_name=$1
installer_exe=$2
service_exe=$3
# shellcheck source=/dev/null
source "${ZAV_WINE_LIB:?}"

WORK=$(mktemp -d /tmp/zav-inst-e2e.XXXXXX)
_WINE_EXTRA_CLEANUP="rm -rf '$WORK'"

fail() {
  echo "FAIL [$case_name]: $*" >&2
  if [ -f "${LOG:-}" ]; then
    echo "--- run log (as UTF-8):" >&2
    head -c 20000 "$LOG" | iconv -f GBK -t UTF-8 | cat -A >&2
  fi
  [ -f "$WORK/stdout" ] && { echo "--- standard output:" >&2; iconv -f GBK -t UTF-8 "$WORK/stdout" >&2; }
  exit 1
}

gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }

port_listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Waits (a bounded number of rounds) until the command succeeds.
eventually() {
  local _
  for _ in $(seq 120); do
    "$@" && return 0
    sleep 0.5
  done
  return 1
}

for port in 11999 11997; do
  port_listening "$port" && fail "port $port is in use on this machine before the test"
done

wine_prefix_new
C="$WINEPREFIX/drive_c"
NODE='HKLM\Software\JavaSoft\Prefs\norvane\zav'
mkdir -p "$C/zavinst"
cp "$installer_exe" "$C/zavinst/zavserviceInstaller2.exe"
LOG="$C/zavinst/zavServiceInstall.log"

# A prefix that is still being set up under load may not have the profile yet.
profile=""
for _ in $(seq 20); do
  profile=$(wine_run cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')
  [ -n "$profile" ] && [ "$profile" != "%USERPROFILE%" ] && break
  sleep 0.5
done
[ -n "$profile" ] && [ "$profile" != "%USERPROFILE%" ] || fail "no user profile in the prefix"
marker_win="$profile\\hasTryInstallZAVServiceByMakeshortcut"
marker=$(wine_unix "$marker_win")
[ -n "$marker" ] || fail "marker path not mapped"

prefs_value() {  # prefs_value NAME DATA [TYPE]; names and data in UTF-8
  LC_ALL=C.UTF-8 wine_run reg add "$NODE" /v "$1" /t "${3:-REG_SZ}" /d "$2" /f >/dev/null 2>&1 ||
    fail "reg add $1"
}

# put_service UNIX_DIR [PORTS]: a copy of the test service in UNIX_DIR.
put_service() {
  mkdir -p "$1"
  cp "$service_exe" "$1/zavservice.exe"
  [ -z "${2:-}" ] || printf '%s\r\n' "$2" >"$1/zavservice-ports.txt"
}

# put_script UNIX_PATH LINES...: a batch file with CR LF line ends.
put_script() {
  local path=$1
  shift
  mkdir -p "$(dirname "$path")"
  printf '%s\r\n' "@echo off" "$@" >"$path"
}

# The folder the installer is started from (its own unless a case says otherwise).
RUN_DIR="$C/zavinst"

run_installer() {
  (cd "$RUN_DIR" && wine_run 'C:\zavinst\zavserviceInstaller2.exe' "$@" >"$WORK/stdout" 2>"$WORK/stderr")
  local rc=$?
  [ "$rc" -eq 0 ] || fail "exit code $rc"
  [ -f "$LOG" ] || fail "no run log"
  # Every record: local time, the installer's unit and line, the message, CR CR LF.
  local bad
  bad=$(LC_ALL=C grep -avcE $'^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} zavserviceInstaller2\\(:52\\):.*\r\r$' "$LOG")
  [ "$bad" -eq 0 ] || fail "$bad malformed log records"
}

log_messages() {
  LC_ALL=C sed -E $'s/^[0-9-]{10} [0-9:]{8} zavserviceInstaller2\\(:52\\)://; s/\r\r$//' "$LOG"
}

# expect_log MESSAGE...: the log holds exactly these messages (UTF-8 here, GBK on disk).
expect_log() {
  local expected="" m
  for m in "$@"; do expected+="$(gbk "$m")"$'\n'; done
  [ "$(log_messages)" == "${expected%$'\n'}" ] || fail "log differs from: $*"
}

log_has() { log_messages | LC_ALL=C grep -qxF -- "$(gbk "$1")"; }
log_count() { log_messages | LC_ALL=C grep -cxF -- "$(gbk "$1")"; }

# expect_stdout LINE...: the installer's own lines, in this order. The programs it
# runs share its standard output, so their lines (those of "net") may come between.
expect_stdout() {
  local m
  for m in "$@"; do gbk "$m"; printf '\n'; done >"$WORK/expected_stdout"
  python3 - "$WORK/stdout" "$WORK/expected_stdout" <<'PY' || fail "standard output lacks the installer's lines"
import sys
got = open(sys.argv[1], "rb").read().split(b"\n")
want = open(sys.argv[2], "rb").read().split(b"\n")[:-1]
i = 0
for line in got:
    if i < len(want) and line == want[i]:
        i += 1
sys.exit(0 if i == len(want) else 1)
PY
}

# expect_stdout_exact LINE...: nothing but these lines (no program was run).
expect_stdout_exact() {
  local m
  for m in "$@"; do gbk "$m"; printf '\n'; done >"$WORK/expected_stdout"
  cmp -s "$WORK/stdout" "$WORK/expected_stdout" || fail "standard output differs"
}

no_calls_anywhere() { [ -z "$(find "$C" -name zavservice-calls.txt)" ]; }

GREETING='Hello, ZAV service installer start!'
FREE_TRY='端口未占用,尝试注册服务并启动服务'
OK_11997='成功注册服务并启动.'
TO_FALLBACK='注册服务失败，尝试注册随机启动快捷方式'
# The records of a direct install from C:\zav\client, whose service program lies in its bin\.
ZAV_CLIENT_DIRECT_INSTALL=(
  '文件不存在:C:\zav\clientjdk\jre\bin\zavservice.exe'
  '文件不存在:C:\zav\clientjdk\bin\zavservice.exe'
  '从ZAV客户端[C:\zav\client\bin\zavservice.exe]中安装zavservice服务'
  '文件不存在[C:\zav\client\bin\zavserviceinstall.bat  ]直接执行C:\zav\client\bin\zavservice.exe'
  '执行命令成功:"C:\zav\client\bin\zavservice.exe" /Service'
  '进程退出码:0'
  '执行命令成功:net start zavservice'
  '进程退出码:0')

case "$case_name" in
port_taken)
  # The service is taken to run when its port is held: nothing else happens.
  put_service "$C/zav/client/bin" "11999 11997"
  prefs_value zav 'C:\zav\client'
  python3 -c 'import socket,sys,time
s = socket.socket(); s.bind(("0.0.0.0", 11999)); s.listen(4)
print("ready", flush=True); time.sleep(3600)' >"$WORK/holder" &
  holder=$!
  _WINE_EXTRA_CLEANUP="kill $holder; $_WINE_EXTRA_CLEANUP"
  eventually grep -q ready "$WORK/holder" || fail "could not hold port 11999"
  WINEDEBUG=+relay run_installer
  # The DLL search narrowed to the system folder first thing.
  grep -q -E 'Call KERNEL32\.SetDefaultDllDirectories\(0*800\)' "$WORK/stderr" || fail "the DLL search was not narrowed"
  expect_log "$GREETING" '端口已占用.'
  expect_stdout_exact "$GREETING" "端口已占用."
  no_calls_anywhere || fail "a service program was started"
  [ ! -e "$marker" ] || fail "marker file written"
  ;;

direct_install)
  # Client under a directory with a blank, service in the client's own Java runtime,
  # a planted C:\Program.exe that must never run, and a planted net.exe beside the
  # installer and in the folder it is started from: the system's net runs.
  put_service "$C/Program Files/ZAV/clientjdk/jre/bin" "11999 11997"
  mkdir -p "$C/Program Files/ZAV/client/bin" "$C/cwd"
  cp "$service_exe" "$C/Program.exe"
  cp "$service_exe" "$C/zavinst/net.exe"
  cp "$service_exe" "$C/cwd/net.exe"
  RUN_DIR="$C/cwd"
  prefs_value zav 'C:/Program Files/ZAV/client'
  program='C:\Program Files\ZAV\clientjdk\jre\bin\zavservice.exe'
  run_installer
  expect_log "$GREETING" "$FREE_TRY" zav \
    "从ZAV客户端[$program]中安装zavservice服务" \
    "文件不存在[C:\\Program Files\\ZAV\\client\\bin\\zavserviceinstall.bat  ]直接执行$program" \
    "执行命令成功:\"$program\" /Service" '进程退出码:0' \
    '执行命令成功:net start zavservice' '进程退出码:0' \
    "$OK_11997"
  expect_stdout "$GREETING" "端口未占用." "zav" "端口已占用."
  calls="$C/Program Files/ZAV/clientjdk/jre/bin/zavservice-calls.txt"
  [ -f "$calls" ] || fail "service program not run"
  head -n 1 "$calls" | grep -q '/Service' || fail "first call is not the registration"
  grep -q '/Run' "$calls" || fail "service not started by the service manager"
  [ ! -e "$C/zavservice-calls.txt" ] || fail "C:\\Program.exe was run instead of the service program"
  for planted in zavinst cwd; do
    [ ! -e "$C/$planted/zavservice-calls.txt" ] || fail "C:\\$planted\\net.exe was run instead of the system's"
  done
  port_listening 11999 || fail "nothing listens on 11999"
  [ ! -e "$marker" ] || fail "marker file written although the install succeeded"
  ;;

install_script)
  # The client's install script registers and starts the service itself.
  put_service "$C/zav/client/bin" "11999 11997"
  put_script "$C/zav/client/bin/zavserviceinstall.bat" \
    'echo %*>>"%~dp0script-calls.txt"' '"%~1" /Service' 'net start zavservice'
  prefs_value zav 'C:\zav\client'
  program='C:\zav\client\bin\zavservice.exe'
  run_installer
  log_has "从ZAV客户端[$program]中安装zavservice服务" || fail "no install record"
  log_messages | LC_ALL=C grep -qF "$(gbk '直接执行')" && fail "install script taken as missing"
  log_has "执行命令失败$program" && fail "shell could not open the install script"
  [ "$(log_messages | tail -n 1)" == "$(gbk "$OK_11997")" ] || fail "no success record at the end"
  eventually test -s "$C/zav/client/bin/script-calls.txt" || fail "install script never ran"
  # The script's one parameter: the program path, unquoted.
  [ "$(tr -d '\r' <"$C/zav/client/bin/script-calls.txt" | sed 's/ *$//')" == "$program" ] ||
    fail "install script got: $(cat -A "$C/zav/client/bin/script-calls.txt")"
  port_listening 11999 || fail "nothing listens on 11999"
  ;;

second_value)
  # The first value points nowhere, the third one works. Both are listed as "?": the
  # third's name holds a character the code page lacks, and its data is its own. The
  # second's data, C:\zav\cŁient, would read as the look-alike C:\zav\cLient through
  # the ANSI functions: it names no installation.
  put_service "$C/zav/client/bin" "11999 11997"
  prefs_value '?' 'C:\nowhere'
  prefs_value 'look' 'C:\zav\cŁient'
  prefs_value 'ก' 'C:\zav\client'
  program='C:\zav\client\bin\zavservice.exe'
  run_installer
  expect_log "$GREETING" "$FREE_TRY" '?' '文件不存在:C:\nowhere' look '注册表没有该项:look' '?' \
    "${ZAV_CLIENT_DIRECT_INSTALL[@]}" \
    "$OK_11997"
  expect_stdout "$GREETING" "端口未占用." "?" "look" "?" "端口已占用."
  port_listening 11999 || fail "nothing listens on 11999"
  ;;

fallback)
  # The direct install brings the service up on 11999 only: the fallback runs, its
  # scripts are started, and its closing test finds the service.
  put_service "$C/zav/client/bin" "11999"
  put_script "$C/zav/client/bin/makeshortcut.bat" 'echo made>"%~dp0shortcut-made.txt"'
  put_script "$C/zav/client/bin/startzavservice.bat" 'echo started>"%~dp0start-called.txt"' \
    'net start zavservice'
  prefs_value zav 'C:\zav\client'
  mkdir -p "$(dirname "$marker")"
  echo "left from before" >"$marker"
  program='C:\zav\client\bin\zavservice.exe'
  run_installer
  expect_log "$GREETING" "$FREE_TRY" zav \
    "${ZAV_CLIENT_DIRECT_INSTALL[@]}" \
    "$TO_FALLBACK" zav '执行脚本生成快捷方式成功.' '服务启动成功.'
  expect_stdout "$GREETING" "端口未占用." "zav" "端口未占用." "$marker_win" "zav"
  [ -f "$marker" ] && [ ! -s "$marker" ] || fail "marker file missing or not empty"
  eventually test -f "$C/zav/client/bin/shortcut-made.txt" || fail "makeshortcut.bat never ran"
  eventually test -f "$C/zav/client/bin/start-called.txt" || fail "startzavservice.bat never ran"
  port_listening 11999 || fail "nothing listens on 11999"
  port_listening 11997 && fail "11997 taken although the service was not asked for it"
  ;;

no_node)
  # No preferences node at all: nothing to install, the marker is still left.
  run_installer
  expect_log "$GREETING" "$FREE_TRY" '读取注册表失败' "$TO_FALLBACK" '读取注册表失败' \
    '执行脚本生成快捷方式失败.'
  expect_stdout_exact "$GREETING" "端口未占用." "端口未占用." "$marker_win"
  [ -f "$marker" ] && [ ! -s "$marker" ] || fail "marker file missing or not empty"
  no_calls_anywhere || fail "a service program was started"
  ;;

hostile_registry)
  # Names at and past the 255-byte limit and data that fills the 500-byte buffer
  # without a terminator: nothing is read past a buffer, nothing is cut into another
  # name or path. A longer name is logged cut and passed over, and the walk goes on.
  # (Wine enumerates values in name order.)
  name255=$(printf 'a%.0s' $(seq 255))
  name256=$(printf 'c%.0s' $(seq 256))
  name300=$(printf 'd%.0s' $(seq 300))
  prefs_value "$name255" 'C:\nowhere255'
  prefs_value b_data500 "$(printf '44%.0s' $(seq 500))" REG_BINARY
  # Data that names no directory, although C:\ exists: empty text, a DWORD that
  # reads "C:" as text.
  prefs_value b_dword 0x00003a43 REG_DWORD
  prefs_value b_empty ''
  put_service "$C/bin" "11999 11997"
  prefs_value "$name256" 'C:\nowhere256'
  prefs_value "$name300" 'C:\bin'
  prefs_value zz_after 'C:\nowhere'
  # A log past 2 GiB is over the cap like any other: deleted at the start.
  truncate -s 3G "$LOG"
  # The access the node is opened with, as Wine's registry trace shows it (the view
  # flags 0x100 and 0x200 aside).
  WINEDEBUG=trace+reg run_installer
  [ "$(stat -c %s "$LOG")" -lt 100000 ] || fail "the 3 GiB log was appended to"
  opens=$(grep -a 'NtOpenKeyEx' "$WORK/stderr" | grep -ai 'norvane' |
    sed -nE 's/.*NtOpenKeyEx \([^,]*,L"[^"]*",([0-9a-f]+),.*/\1/p' | sort -u)
  [ -n "$opens" ] || fail "no open of the node in the trace"
  for access in $opens; do
    [ $((0x$access & ~0x300)) -eq 1 ] || fail "the node was opened for 0x$access, not KEY_QUERY_VALUE alone"
  done
  # Each node walked once a pass (install, shortcuts): on 32-bit Windows the two
  # views are one node.
  [ "$(log_count '注册表没有该项:b_dword')" = 2 ] || fail "b_dword was logged $(log_count '注册表没有该项:b_dword') times"
  log_has "$name255" || fail "the 255-byte name was not walked"
  log_has '文件不存在:C:\nowhere255' || fail "the 255-byte name's directory was not tested"
  log_has '注册表没有该项:b_data500' || fail "500 bytes without terminator were read as a path"
  log_has '注册表没有该项:b_dword' || fail "a DWORD was read as a directory"
  log_has '注册表没有该项:b_empty' || fail "empty text was read as a directory"
  log_messages | LC_ALL=C grep -q 'DDDD' && fail "unterminated data reached a record"
  for long in "$name256" "$name300"; do
    [ "$(log_count "注册表没有该项:${long:0:255}")" = 2 ] || fail "a ${#long}-byte name was not logged cut, once a pass"
  done
  log_has '文件不存在:C:\nowhere' && log_has '文件不存在:C:\nowhere\bin\makeshortcut.bat' ||
    fail "the walks did not go on past the long names"
  no_calls_anywhere || fail "a service program was started"
  ;;

both_views)
  # 64-bit prefix: a 32-bit client's Java writes the node's 32-bit view, a 64-bit one
  # the 64-bit view. Both are walked, the 32-bit one first.
  put_service "$C/zav/client/bin" "11999 11997"
  wine_run reg add "$NODE" /v a_old /d 'C:\nowhere32' /f /reg:32 >/dev/null 2>&1 || fail "reg add a_old"
  wine_run reg add "$NODE" /v zav /d 'C:\nowhere' /f /reg:32 >/dev/null 2>&1 || fail "reg add zav 32"
  wine_run reg add "$NODE" /v zav /d 'C:\zav\client' /f /reg:64 >/dev/null 2>&1 || fail "reg add zav 64"
  wine_run reg add "$NODE" /v zz64 /d 'C:\zav\client' /f /reg:64 >/dev/null 2>&1 || fail "reg add zz64"
  program='C:\zav\client\bin\zavservice.exe'
  run_installer
  # zav's 32-bit value is stale (its directory is gone): the 64-bit namesake is tried.
  expect_log "$GREETING" "$FREE_TRY" a_old '文件不存在:C:\nowhere32' zav '文件不存在:C:\nowhere' zav \
    "${ZAV_CLIENT_DIRECT_INSTALL[@]}" \
    "$OK_11997"
  expect_stdout "$GREETING" "端口未占用." "a_old" "zav" "zav" "端口已占用."
  port_listening 11999 || fail "nothing listens on 11999"
  ;;

registry_text)
  # Directory text is data: an & in it never reaches cmd.exe as command text (the
  # service is installed directly), a %NAME% in it is never expanded into another
  # installation's path (passed over as missing).
  put_service "$C/z&mkdir INJ&/client/bin" "11999 11997"
  put_script "$C/z&mkdir INJ&/client/bin/zavserviceinstall.bat" 'echo [%*]>>C:\script-calls.txt'
  put_service "$C/pWindows_NTq/bin" "11999 11997"
  put_script "$C/pWindows_NTq/bin/zavserviceinstall.bat" 'echo [%*]>>C:\script-calls.txt'
  mkdir -p "$C/p%OS%q/bin"
  prefs_value a_pct 'C:\p%OS%q'
  prefs_value b_amp 'C:\z&mkdir INJ&\client'
  program='C:\z&mkdir INJ&\client\bin\zavservice.exe'
  run_installer
  expect_log "$GREETING" "$FREE_TRY" a_pct '文件不存在:C:\p%OS%q' b_amp \
    '文件不存在:C:\z&mkdir INJ&\clientjdk\jre\bin\zavservice.exe' \
    '文件不存在:C:\z&mkdir INJ&\clientjdk\bin\zavservice.exe' \
    "从ZAV客户端[$program]中安装zavservice服务" \
    "服务程序路径含有命令字符[$program]不交给脚本,直接执行" \
    "执行命令成功:\"$program\" /Service" '进程退出码:0' \
    '执行命令成功:net start zavservice' '进程退出码:0' \
    "$OK_11997"
  [ ! -e "$C/zavinst/INJ" ] && [ -z "$(find "$C" -maxdepth 2 -name INJ)" ] || fail "a command ran from registry data"
  [ ! -e "$C/script-calls.txt" ] || fail "an install script ran: $(cat "$C/script-calls.txt")"
  [ ! -e "$C/pWindows_NTq/bin/zavservice-calls.txt" ] || fail "the other installation's program ran"
  port_listening 11999 || fail "nothing listens on 11999"
  ;;

views_agree)
  # A name whose 32-bit data cannot be read is taken from the 64-bit view, as the
  # launcher takes it. A name that named an installation to try in the 32-bit view
  # (its service program cannot start, and "net start" fails) is the same name in
  # another case in the 64-bit view, and is not tried again there.
  put_service "$C/zav/client/bin" "11999 11997"
  mkdir -p "$C/old/client/bin"
  : >"$C/old/client/bin/zavservice.exe"
  wine_run reg add "$NODE" /v A_CASE /d 'C:\old\client' /f /reg:32 >/dev/null 2>&1 || fail "reg add A_CASE"
  wine_run reg add "$NODE" /v b_both /t REG_BINARY /d "$(printf '44%.0s' $(seq 602))" /f /reg:32 \
    >/dev/null 2>&1 || fail "reg add b_both 32"
  wine_run reg add "$NODE" /v a_case /d 'C:\zav\client' /f /reg:64 >/dev/null 2>&1 || fail "reg add a_case"
  wine_run reg add "$NODE" /v b_both /d 'C:\zav\client' /f /reg:64 >/dev/null 2>&1 || fail "reg add b_both 64"
  run_installer
  old='C:\old\client\bin\zavservice.exe'
  expect_log "$GREETING" "$FREE_TRY" A_CASE '文件不存在:C:\old\clientjdk\jre\bin\zavservice.exe' \
    '文件不存在:C:\old\clientjdk\bin\zavservice.exe' "从ZAV客户端[$old]中安装zavservice服务" \
    "文件不存在[C:\old\client\bin\zavserviceinstall.bat  ]直接执行$old" "执行命令失败:\"$old\" /Service" \
    '执行命令成功:net start zavservice' '进程退出码:1' \
    b_both '注册表没有该项:b_both' b_both \
    "${ZAV_CLIENT_DIRECT_INSTALL[@]}" \
    "$OK_11997"
  port_listening 11999 || fail "nothing listens on 11999"
  ;;

*)
  fail "unknown case"
  ;;
esac

echo "PASS [$case_name]"
