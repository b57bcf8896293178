#!/usr/bin/env bash
# script/bootstrap over a mirror that serves no 32-bit packages: an apt-get ahead of
# the real one fails every update and every :i386 install. Bootstrap goes on (exit 0),
# says in one line that the 32-bit packages are not there, does not retry the
# update, and a second call does not ask the mirror again.
set -euo pipefail
source="$1"
[ "$(id -u)" = 0 ] || { echo "SKIP: bootstrap installs as root only"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
cat >"$work/bin/apt-get" <<FAKE
#!/usr/bin/env bash
echo "apt-get \$*" >>"$work/calls"
case " \$* " in
  *" update "*) echo "E: Failed to fetch binary-i386/Packages.xz  File has unexpected size" >&2; exit 100 ;;
  *:i386*) echo "E: Error, pkgProblemResolver::Resolve generated breaks" >&2; exit 100 ;;
esac
exec /usr/bin/apt-get "\$@"
FAKE
# The machine's architectures are left as they are.
cat >"$work/bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
[ "$1" = --add-architecture ] && exit 0
exec /usr/bin/dpkg "$@"
FAKE
chmod +x "$work/bin/"*
# What the build needs is installed; one 32-bit package is not.
printf 'bash\nzav-bootstrap-absent:i386\n' >"$work/packages"

run() {
  PATH="$work/bin:$PATH" ZAV_BOOTSTRAP_PACKAGES="$work/packages" ZAV_BOOTSTRAP_STATE="$work/state" \
    ZAV_BOOTSTRAP_RUNS_32BIT=yes "$source/script/bootstrap" 2>"$work/err"
}

fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

start=$SECONDS
status=0
run || status=$?
took=$((SECONDS - start))
check "exits 0 without the 32-bit packages (got $status)" '[ $status -eq 0 ]'
check "says so in one line" '[ "$(grep -c "32-bit packages (zav-bootstrap-absent:i386) could not be installed.*generated breaks.*Wine tests are left out" "$work/err")" -eq 1 ]'
check "tries the update once ($(grep -c ' update' "$work/calls") times)" '[ "$(grep -c " update" "$work/calls")" -eq 1 ]'
check "takes under a minute ($took s)" '[ $took -lt 60 ]'

: >"$work/calls"
status=0
run || status=$?
check "a second call exits 0 (got $status)" '[ $status -eq 0 ]'
check "and leaves the mirror alone" '[ ! -s "$work/calls" ]'
check "and says why" 'grep -q "not tried again" "$work/err"'

printf 'bash\nzav-bootstrap-absent\n' >"$work/packages"
status=0
run || status=$?
check "a package the build needs that cannot be installed fails (got $status)" '[ $status -ne 0 ]'
check "with apt's message" 'grep -q "^E: " "$work/err"'
exit $fail
