#!/usr/bin/env bash
# Builds the Debian package of the program: installs what is missing,
# builds the programs optimised, with Debian's hardening flags, into
# build-package/, runs CPack and prints the path of the .deb
# (build-package/package/officerecords_VERSION_amd64.deb). An office
# installs it with: apt install ./officerecords_VERSION_amd64.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
out="$root/build-package"

# The flags Debian builds its own packages with (fortify, stack
# protector, read-only relocations), as lintian expects of a package.
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release \
    -DOFFICERECORDS_BUILD_TESTS=OFF -DOFFICERECORDS_BUILD_BENCH=OFF "${launcher[@]}"
cmake --build "$out" -j"$(nproc)"
rm -f "$out"/package/officerecords_*.deb
(cd "$out" && cpack -G DEB)
deb="$(ls "$out"/package/officerecords_*.deb)"
echo "package: $deb"
