#!/usr/bin/env bash
# The built maclauncher.app: a well-formed Info.plist with the project version and
# the deployment target, both architectures, a valid signature, and an app that,
# started without a link, ends by itself.
#   bundle_check.sh BUNDLE VERSION DEPLOYMENT_TARGET
set -uo pipefail
bundle=$1 version=$2 target=$3
plist="$bundle/Contents/Info.plist"
exe="$bundle/Contents/MacOS/maclauncher"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
# PlistBuddy reads a key on every macOS the app supports (plutil's raw form needs 12).
key() { /usr/libexec/PlistBuddy -c "Print :$1" "$plist"; }
check "Info.plist is well formed" plutil -lint "$plist"
check "CFBundleShortVersionString is $version" test "$(key CFBundleShortVersionString)" = "$version"
check "CFBundleVersion is $version" test "$(key CFBundleVersion)" = "$version"
check "LSMinimumSystemVersion is $target" test "$(key LSMinimumSystemVersion)" = "$target"
archs=$(lipo -archs "$exe" 2>/dev/null)
check "both slices ($archs)" bash -c "grep -qw x86_64 <<<'$archs' && grep -qw arm64 <<<'$archs'"
check "the bundle's signature verifies" codesign --verify --strict --deep "$bundle"
"$exe" &
pid=$!
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  echo "FAIL started without a link, the app keeps running"
  failures=$((failures + 1))
elif wait "$pid"; then
  echo "ok   started without a link, the app ends by itself with 0"
else
  echo "FAIL started without a link, the app ended with status $?"
  failures=$((failures + 1))
fi
echo "$failures failed"
[ "$failures" = 0 ]
