#!/usr/bin/env bash
# Compiles JUnit 5 tests and the minimal client classes they carry, runs them on the
# JDK with -Xcheck:jni and fails on any JNI warning the JVM prints.
#
#   run-junit.sh --work DIR --src DIR... [--libdir DIR...] [--jvm-arg ARG...] [--xvfb]
set -euo pipefail

work= srcs=() libdirs=() jvm_args=() xvfb=0
while [ $# -gt 0 ]; do
  case "$1" in
    --work) work=$2; shift 2 ;;
    --src) srcs+=("$2"); shift 2 ;;
    --libdir) libdirs+=("$2"); shift 2 ;;
    --jvm-arg) jvm_args+=("$2"); shift 2 ;;
    --xvfb) xvfb=1; shift ;;
    *) echo "run-junit: unknown argument $1" >&2; exit 2 ;;
  esac
done

jdk=${ZAV_TEST_JDK:-/usr/lib/jvm/java-17-openjdk-amd64}
console=/usr/share/java/junit-platform-console-standalone.jar
[ -f "$console" ] || { echo "run-junit: $console missing (apt-get install junit5)" >&2; exit 2; }

rm -rf "$work"
mkdir -p "$work/classes"
find "${srcs[@]}" -name '*.java' > "$work/sources.txt"
"$jdk/bin/javac" -Xlint:all -Werror -encoding UTF-8 -d "$work/classes" \
  -cp "$console" @"$work/sources.txt"

libpath=$(IFS=:; echo "${libdirs[*]:-}")
cmd=("$jdk/bin/java" -Xcheck:jni -Djava.library.path="$libpath" "${jvm_args[@]}"
     -jar "$console" --disable-banner --details=tree --fail-if-no-tests
     -cp "$work/classes" --scan-classpath "$work/classes")
if [ "$xvfb" = 1 ]; then
  cmd=(xvfb-run -a -s "-screen 0 1024x768x24" "${cmd[@]}")
fi

set +e
LD_LIBRARY_PATH="$libpath${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "${cmd[@]}" > "$work/output.txt" 2>&1
rc=$?
set -e
cat "$work/output.txt"
# -Xcheck:jni reports misuse as "WARNING in native method" or a fatal error.
if grep -E -q 'WARNING in native method|FATAL ERROR in native method|JNI warning|Warning: JNI' "$work/output.txt"; then
  echo "run-junit: the JVM reported a JNI warning" >&2
  exit 1
fi
exit $rc
