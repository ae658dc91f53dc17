#!/usr/bin/env bash
# Builds the programs optimised into build-release/, starts a PostgreSQL
# server of its own on 127.0.0.1 (see scripts/pg-server.sh; without one
# installed the server's rows are left out) and runs the performance runner,
# which writes docs/performance.md. Arguments go to the runner, e.g.
#   scripts/perf.sh --sizes 10000,100000 --rounds 5
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
release="$root/build-release"
cmake -S "$root" -B "$release" -DCMAKE_BUILD_TYPE=Release -DOFFICERECORDS_BUILD_TESTS=OFF >/dev/null
cmake --build "$release" -j"$(nproc)"

. "$root/scripts/own-pg-server.sh"
cd "$root"
"$release/bin/officerecords_perf" --out "$root/docs/performance.md" "$@"
