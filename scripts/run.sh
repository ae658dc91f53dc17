#!/usr/bin/env bash
# Installs what is missing, builds, creates the demo database on first use
# and plays the demo session on it, printing its transcript.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null
data="${XDG_DATA_HOME:-$HOME/.local/share}/OfficeRecords"
db="$data/demo.db"
mkdir -p "$data"
[ -f "$db" ] || "$root/build/bin/officerecords-cli" init "$db" --demo
cd "$data"
exec "$root/build/bin/officerecords-cli" run "$root/docs/examples/demo.script" --db "$db"
