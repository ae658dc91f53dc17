#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only those
# that are missing, so running it again costs nothing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libsqlite3-dev sqlite3
    # The XLSX export, and the independent reader its tests check it with.
    libxlsxwriter-dev python3-openpyxl
    # The import: workbooks' zip and XML (libzip, expat), the old binary
    # XLS (libfreexl), and the writer of the XLS files its tests read.
    libzip-dev libexpat1-dev libfreexl-dev python3-xlwt
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # The runtimes of the sanitizer build in scripts/test.sh (GCC 12's).
    libasan8 libubsan1
    # The desktop program: Qt widgets, Qt's own Chinese texts, and a CJK
    # font for "宋体" to stand for on a machine without one.
    qt6-base-dev qt6-translations-l10n fonts-wqy-microhei
    # Qt's SQLite driver, for the plain Qt list the GUI benchmark compares with.
    libqt6sql6-sqlite
    # The printed lists' PDF files, read back by the tests (pdftotext, pdfinfo).
    poppler-utils
    # The shared-server backend (libpq), and the server and psql its tests start and use.
    libpq-dev postgresql
    # The Debian package (scripts/package.sh) and its checks: the icon
    # rendered from SVG, dpkg-shlibdeps and dpkg-buildflags, the validators
    # of the desktop entry, the metainfo, the manual pages and the package.
    librsvg2-bin dpkg-dev desktop-file-utils appstream lintian file groff-base
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "error: run as root or install sudo to add: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
