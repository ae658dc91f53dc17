#!/usr/bin/env bash
# Debian's own check of a package: lintian must report no error and no
# warning (its informational notes are printed, not counted).
#   lintian_package.sh DEB
# skips (77) when lintian is not installed.
set -euo pipefail
deb="$1"
if ! command -v lintian >/dev/null; then
    echo "SKIP: lintian is not installed (apt package lintian)"
    exit 77
fi
status=0
out="$(lintian --info --display-info --fail-on error,warning "$deb" 2>&1)" || status=$?
# As root lintian says it would rather not be: that line is no finding.
grep -v "running with root privileges" <<<"$out" || true
[ "$status" -eq 0 ] || echo "lintian found errors or warnings in $deb (status $status)" >&2
exit "$status"
