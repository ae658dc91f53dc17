#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Then builds the
# core, the CLI and the unit tests once more with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs their tests there:
# any sanitizer report, in a test or in a program a test started, fails.
# Both runs share one PostgreSQL server of their own on 127.0.0.1 (see
# scripts/pg-server.sh); without a server installed those cases are skipped.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
# The package of this build, which the package tests unpack and check.
(cd "$root/build" && cpack -G DEB)

. "$root/scripts/own-pg-server.sh"

cd "$root/build"
ctest --output-on-failure -j"$(nproc)"

asan="$root/build-asan"
reports="$asan/sanitizer-reports"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# -O1 keeps the instrumented build and its run quick, Debug adds -g so that
# reports name files and lines. GCC 12 takes the instrumented std::variant
# copies for uninitialised reads, which the plain build does not report.
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$sanitize -O1 -Wno-maybe-uninitialized" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DCMAKE_MODULE_LINKER_FLAGS="$sanitize" \
    -DOFFICERECORDS_BUILD_APP=OFF -DOFFICERECORDS_BUILD_BENCH=OFF >/dev/null
cmake --build "$asan" -j"$(nproc)"

# Every report stops its process with a failing status. AddressSanitizer's
# also go to files, and UndefinedBehaviorSanitizer's (which ignore log_path
# when both run together) are looked for in the tests' whole output: a
# program a test starts must not hide one behind an exit status nobody reads.
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:log_path=$reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$asan"
status=0
ctest --output-on-failure -j"$(nproc)" || status=$?
found=0
for f in "$reports"/*; do
    [ -e "$f" ] || continue
    found=1
    echo "--- sanitizer report $f" >&2
    cat "$f" >&2
done
if grep -E -B2 -A12 "runtime error:|SUMMARY: [A-Za-z]+Sanitizer" Testing/Temporary/LastTest.log >&2; then
    found=1
fi
if [ "$found" -ne 0 ]; then
    echo "error: the sanitizers reported the faults above" >&2
    [ "$status" -ne 0 ] || status=1
fi
exit "$status"
