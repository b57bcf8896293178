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

# A cold start through Launch Services with a link: the scheme's declaration, the
# principal class and the launch event together. The bundle is registered for the
# test and unregistered after it.
lsregister=/System/Library/Frameworks/CoreServices.framework/Frameworks/LaunchServices.framework/Support/lsregister
client=$(mktemp -d /tmp/maclauncher-bundle.XXXXXX)
mkdir -p "$client/client/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >"$(dirname "$0")/../../record"\n' >"$client/client/bin/clientStartup.sh"
chmod 0755 "$client" "$client/client" "$client/client/bin"
chmod 0644 "$client/client/bin/clientStartup.sh"
link="nvzav://$client/client#x\$y"
"$lsregister" -f "$bundle"
open -g "$link"
for _ in $(seq 100); do
  [ -s "$client/record" ] && break
  sleep 0.2
done
check "opened by a link through Launch Services, the script got the link" \
  test "$(cat "$client/record" 2>/dev/null)" = "$link"
for _ in $(seq 50); do
  pgrep -f "$exe" >/dev/null || break
  sleep 0.2
done
check "after the link's script, the app has quit" bash -c "! pgrep -f '$exe'"
"$lsregister" -u "$bundle"
rm -rf "$client"
echo "$failures failed"
[ "$failures" = 0 ]
