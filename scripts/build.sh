#!/usr/bin/env bash
# Configures and builds into build/ (binaries in build/bin/).
#
#   scripts/build.sh           everything: the programs, the tests, the benchmarks
#   scripts/build.sh program   the two programs only, as scripts/run.sh needs
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
case "${1:-all}" in
    program) extras=OFF ;;
    all) extras=ON ;;
    *)
        echo "usage: $0 [all|program]" >&2
        exit 2
        ;;
esac
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOFFICERECORDS_BUILD_TESTS=$extras -DOFFICERECORDS_BUILD_BENCH=$extras >/dev/null
cmake --build "$root/build" -j"$(nproc)"
