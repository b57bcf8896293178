# Shared set-up for tests that run the Windows programs under Wine.
# Source it, then call wine_prefix_new once per test script (a prefix takes a while
# to boot); everything is torn down when the script exits.
#
#   wine_prefix_new          throwaway prefix in $WINEPREFIX, server kept alive
#   wine_prefix_with EXE NAME  the same, with EXE copied to C:\NAME; $c is C:\ as a Unix path
#   wine_xvfb                start an X server for programs with windows; sets DISPLAY
#   wine_run PROG ARGS...    run a Windows program (also: wine_run reg add ..., cmd /c ...)
#   wine_run_bounded S PROG ARGS...  the same, killed after S seconds
#   wine_unix PATH           Unix path of a Windows path in the prefix
#   wine_win PATH            Windows path of a Unix path
#   wine_status_signed N     a Windows exit code as the shell got it, back to signed
#
# ZAV_WINE_ARCH (set by CTest) says which build is tested: win32 runs the 32-bit
# deliverables with wine32; win64 runs the 64-bit build of the same sources with wine64.
# ZAV_WINE_PREFIX_ARCH=win64 with the win32 build runs the 32-bit programs in a 64-bit
# prefix (WOW64), as 64-bit Windows runs them.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=${ZAV_WINE_ARCH:-win32}
# The 64-bit loader runs a 32-bit program in a 64-bit prefix through the 32-bit one.
[ "${ZAV_WINE_PREFIX_ARCH:-}" = win64 ] && export WINEARCH=win64
if [ "$WINEARCH" = win64 ]; then
  ZAV_WINE=/usr/lib/wine/wine64
  export WINELOADER=$ZAV_WINE
else
  ZAV_WINE=/usr/lib/wine/wine
fi
# No Mono or Gecko install prompts in a throwaway prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

_wine_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    [ -n "${_WINE_KEEP:-}" ] || rm -rf "$WINEPREFIX"
  fi
  [ -z "${_WINE_XVFB_PID:-}" ] || kill "$_WINE_XVFB_PID" 2>/dev/null || true
  [ -z "${_WINE_EXTRA_CLEANUP:-}" ] || eval "$_WINE_EXTRA_CLEANUP"
}

wine_prefix_new() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/zav-wine.XXXXXX)
  trap _wine_cleanup EXIT
  # The persistent server comes first, so it (and with it the services a test
  # starts) outlives every program; the first program then creates the prefix. An
  # extra "wineboot -i" on a fresh prefix leaves two service managers behind, and a
  # service registered with one is unknown to the other.
  wineserver -p >/dev/null 2>&1
  "$ZAV_WINE" cmd /c exit >/dev/null 2>&1
}

wine_prefix_with() {
  wine_prefix_new
  c=$(wine_unix 'C:\')
  cp "$1" "$c/$2"
}

wine_xvfb() {
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    _WINE_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && return 0
      sleep 0.1
    done
  done
  echo "wine_xvfb: no X server started" >&2
  return 1
}

# Prints nothing of its own; returns the program's exit code as the shell sees it.
wine_run() {
  "$ZAV_WINE" "$@"
}

# wine_run_bounded SECONDS PROG ARGS...: wine_run, but a program still running
# after SECONDS is killed, so a hung test ends and its prefix is still torn down.
wine_run_bounded() {
  local limit=$1 pid watchdog status
  shift
  wine_run "$@" &
  pid=$!
  ( sleep "$limit"; kill "$pid" ) >/dev/null 2>&1 &
  watchdog=$!
  wait "$pid"
  status=$?
  kill "$watchdog" 2>/dev/null
  return "$status"
}

wine_unix() { "$ZAV_WINE" winepath -u "$1" 2>/dev/null; }
wine_win() { "$ZAV_WINE" winepath -w "$1" 2>/dev/null; }

# Exit status of a Windows program as a signed 32-bit value is mapped by Wine to
# the low byte: -1 arrives as 255.
wine_status_signed() {
  local s=$1
  [ "$s" -ge 128 ] && s=$((s - 256))
  echo "$s"
}

# wine_renderer_probe PROBE_EXE: fails with one line when Wine's video renderer cannot
# have Direct3D in this prefix (call after wine_xvfb and wine_prefix_new).
wine_renderer_probe() {
  local out
  if out=$(wine_run_bounded 60 "$1" 2>&1 >/dev/null); then
    return 0
  fi
  local bits=64 pkgs='libgl1 libgl1-mesa-dri libglx-mesa0 libxrender1'
  if [ "$WINEARCH" = win32 ]; then
    bits=32
    pkgs='libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 libxcomposite1:i386 libxcursor1:i386 libxi6:i386 libxinerama1:i386 libxrandr2:i386 libxrender1:i386'
  fi
  echo "ENVIRONMENT: ${bits}-bit Wine's video renderer has no Direct3D here${out:+ (${out##*: })}: install the ${bits}-bit OpenGL and X libraries (apt-get install --no-install-recommends $pkgs, or script/bootstrap)" >&2
  return 1
}
