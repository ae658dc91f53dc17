#!/usr/bin/env bash
# Checks a built package as an office would get it:
#   validate_package.sh DEB
# unpacks DEB into a temporary root (dpkg-deb -x) and checks its layout
# (both programs, the modules, the pictures and help pages, the desktop
# entry, the icons, the metainfo, the manual pages, the copyright), the
# desktop entry with desktop-file-validate, the metainfo with appstreamcli
# validate (without the network: the screenshot's address is not
# fetched), and its control fields: the modules' libraries recommended,
# not required. Every fault found is named; the status is 1 if any.
#
#   validate_package.sh --find DIR VERSION PROGRAM [CHECK]
# runs a check on DIR/officerecords_VERSION_*.deb: this one, or CHECK, a
# script beside this one called with the package's path after its own
# name (lintian_package.sh DEB, planted_package.sh VALIDATOR DEB). It
# skips (status 77, saying why) when no package is there or it is older
# than PROGRAM: a package of an earlier build is not the one to check.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ "${1:-}" = "--find" ]; then
    [ $# -eq 4 ] || [ $# -eq 5 ] || { echo "usage: $0 --find DIR VERSION PROGRAM [CHECK]" >&2; exit 2; }
    found=("$2"/officerecords_"$3"_*.deb)
    if [ ! -f "${found[0]}" ]; then
        echo "SKIP: no package in $2 (cpack -G DEB in the build folder, or scripts/test.sh, makes one)"
        exit 77
    fi
    if [ "${found[0]}" -ot "$4" ]; then
        echo "SKIP: ${found[0]} is older than $4 (run cpack -G DEB in the build folder again)"
        exit 77
    fi
    case "${5:-}" in
        "") exec "$here/validate_package.sh" "${found[0]}" ;;
        planted_package.sh) exec "$here/planted_package.sh" "$here/validate_package.sh" "${found[0]}" ;;
        *) exec "$here/$5" "${found[0]}" ;;
    esac
fi
[ $# -eq 1 ] || { echo "usage: $0 DEB | --find DIR VERSION PROGRAM [CHECK]" >&2; exit 2; }
deb="$1"
id=org.officerecords.OfficeRecords
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
control="$(dpkg-deb -f "$deb")"
faults=0
fault() {
    echo "FAULT: $*" >&2
    faults=$((faults + 1))
}

cd "$tmp/root"
for f in usr/bin/officerecords usr/bin/officerecords-cli; do
    [ -f "$f" ] && [ -x "$f" ] || fault "missing program $f"
done
for m in postgres xlsx; do
    [ -f "usr/lib/officerecords/libofficerecords_$m.so" ] || fault "missing module usr/lib/officerecords/libofficerecords_$m.so"
done
for f in cb_save.bmp cb_exit.bmp photo.jpg; do
    [ -s "usr/share/officerecords/bmp/$f" ] || fault "missing picture usr/share/officerecords/bmp/$f"
done
# Only the pictures the build draws: none a run wrote for display.
if ls usr/share/officerecords/bmp/ 2>/dev/null | grep -q '^cap_model\.'; then
    fault "a photo written for display is packaged: $(ls usr/share/officerecords/bmp/ | grep '^cap_model\.')"
fi
for f in keys.md w_m_og_assetregister.md; do
    [ -s "usr/share/officerecords/help/$f" ] || fault "missing help page usr/share/officerecords/help/$f"
done
desktop="usr/share/applications/$id.desktop"
metainfo="usr/share/metainfo/$id.metainfo.xml"
for f in "$desktop" "$metainfo" "usr/share/icons/hicolor/scalable/apps/$id.svg" \
         usr/share/man/man1/officerecords.1.gz usr/share/man/man1/officerecords-cli.1.gz \
         usr/share/doc/officerecords/copyright usr/share/doc/officerecords/changelog.gz; do
    [ -s "$f" ] || fault "missing $f"
done
for size in 48 128; do
    png="usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    if [ ! -s "$png" ]; then
        fault "missing $png"
    elif ! file -b "$png" | grep -q "PNG image data, $size x $size"; then
        fault "$png is not a ${size}x${size} PNG: $(file -b "$png")"
    fi
done
for page in officerecords officerecords-cli; do
    f="usr/share/man/man1/$page.1.gz"
    [ -s "$f" ] || continue
    if ! zcat "$f" | grep -q "^\.TH ${page^^} 1 "; then fault "$f is not the manual page of $page"; fi
    warnings="$(zcat "$f" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1 || true)"
    [ -z "$warnings" ] || fault "groff warns about $f: $warnings"
done

if [ -f "$desktop" ]; then
    out="$(desktop-file-validate "$desktop" 2>&1)" || fault "desktop-file-validate: $out"
    [ -z "$out" ] || fault "desktop-file-validate: $out"
    icon="$(sed -n 's/^Icon=//p' "$desktop")"
    [ "$icon" = "$id" ] || fault "the desktop entry's icon is \"$icon\", not $id"
    grep -qx 'Exec=officerecords' "$desktop" || fault "the desktop entry does not start officerecords"
fi
if [ -f "$metainfo" ]; then
    out="$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1)" || fault "appstreamcli validate: $out"
    version="$(sed -n 's/^Version: //p' <<<"$control")"
    grep -q "<release version=\"$version\"" "$metainfo" || fault "the metainfo has no release $version"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fault "the metainfo does not launch $id.desktop"
fi

# The programs' libraries are required, the modules' only recommended.
depends="$(sed -n 's/^Depends: //p' <<<"$control")"
recommends="$(sed -n 's/^Recommends: //p' <<<"$control")"
for lib in libpq5 libxlsxwriter; do
    grep -q "$lib" <<<"$depends" && fault "Depends names $lib, which only a module loads: $depends"
    grep -q "$lib" <<<"$recommends" || fault "Recommends does not name $lib: $recommends"
done
for lib in libqt6widgets6 libsqlite3-0 qt6-qpa-plugins; do
    grep -q "$lib" <<<"$depends" || fault "Depends does not name $lib: $depends"
done

if [ "$faults" -ne 0 ]; then
    echo "$deb: $faults faults" >&2
    exit 1
fi
echo "$deb: layout, desktop entry, metainfo and dependencies checked"
