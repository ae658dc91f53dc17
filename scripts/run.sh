#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program on the
# demo database, which the program creates on first start in
# ${XDG_DATA_HOME:-~/.local/share}/OfficeRecords/demo.db. Arguments are
# passed on (--db FILE, --community COMMNO).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" run
# The first build takes two to three minutes on two cores; its progress shows.
echo "building the program in $root/build ..."
"$root/scripts/build.sh" program
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "error: the desktop program needs a graphical display, and neither DISPLAY nor" >&2
    echo "WAYLAND_DISPLAY is set. Run scripts/run.sh from a desktop session (or over ssh -X)." >&2
    echo "Built: $root/build/bin/officerecords; without a display it can only take" >&2
    echo "screenshots: build/bin/officerecords --screenshot FILE.png" >&2
    exit 1
fi
exec "$root/build/bin/officerecords" --demo "$@"
