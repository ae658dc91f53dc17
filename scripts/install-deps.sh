#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing, so running it again
# costs nothing.
#
#   scripts/install-deps.sh run    what building and running the program needs
#   scripts/install-deps.sh        that, and what the tests need besides
#
# A clerk's machine that only runs the program gets no test tools, and no
# PostgreSQL server (which, on a machine with systemd, would start and stay
# running).
set -euo pipefail

run_packages=(
    build-essential cmake pkg-config
    libsqlite3-dev
    # The XLSX export (loaded on first use).
    libxlsxwriter-dev
    # The import: workbooks' zip and XML (libzip, expat), the old binary
    # XLS (libfreexl).
    libzip-dev libexpat1-dev libfreexl-dev
    # The desktop program: Qt widgets, Qt's own Chinese texts, and a CJK
    # font for "宋体" to stand for on a machine without one.
    qt6-base-dev qt6-translations-l10n fonts-wqy-microhei
    # The statistics window's charts; their CMake package needs Qt's OpenGL
    # module, which qt6-charts-dev does not pull in by itself.
    qt6-charts-dev libqt6opengl6-dev
    # The shared-server backend's client library (loaded on first use).
    libpq-dev
    # The program's icon, rendered from its SVG at build time.
    librsvg2-bin
)

test_packages=(
    sqlite3
    # The independent readers the export and import tests check with.
    python3-openpyxl python3-xlwt
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # The runtimes of the sanitizer build in scripts/test.sh (GCC 12's).
    libasan8 libubsan1
    # Qt's SQLite driver, for the plain Qt list the GUI benchmark compares with.
    libqt6sql6-sqlite
    # Its PostgreSQL driver, for the same Qt lists over a server.
    libqt6sql6-psql
    # The printed lists' PDF files, read back by the tests (pdftotext, pdfinfo).
    poppler-utils
    # The server and psql the server's tests start and use.
    postgresql
    # The Debian package (scripts/package.sh) and its checks: dpkg-shlibdeps
    # and dpkg-buildflags, the validators of the desktop entry, the
    # metainfo, the manual pages and the package.
    dpkg-dev desktop-file-utils appstream lintian file groff-base
)

case "${1:-test}" in
    run) packages=("${run_packages[@]}") ;;
    test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
    *)
        echo "usage: $0 [run|test]" >&2
        exit 2
        ;;
esac

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
