#!/usr/bin/env bash
# The package check on a package with faults planted in it: a copy of DEB
# without the CLI's manual page and with libpq5 among its Depends must
# fail, naming both.
#   planted_package.sh VALIDATOR DEB
set -euo pipefail
validator="$1"
deb="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -R "$deb" "$tmp/tree"
rm "$tmp/tree/usr/share/man/man1/officerecords-cli.1.gz"
sed -i 's/^Depends: /Depends: libpq5, /' "$tmp/tree/DEBIAN/control"
# md5sums names every file: the removed one goes from it too.
sed -i '/usr\/share\/man\/man1\/officerecords-cli\.1\.gz/d' "$tmp/tree/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zgzip -b "$tmp/tree" "$tmp/planted.deb" >/dev/null
status=0
out="$("$validator" "$tmp/planted.deb" 2>&1)" || status=$?
echo "$out"
[ "$status" -eq 1 ] || { echo "the check of the planted package exited $status, not 1" >&2; exit 1; }
grep -q "FAULT: missing usr/share/man/man1/officerecords-cli.1.gz" <<<"$out" ||
    { echo "the missing manual page was not named" >&2; exit 1; }
grep -q "FAULT: Depends names libpq5" <<<"$out" || { echo "libpq5 in Depends was not named" >&2; exit 1; }
echo "the planted faults were found"
