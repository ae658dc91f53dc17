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

# The flags Debian builds its own packages with, all its hardening
# included (fortify, stack protector, read-only relocations bound at
# start), as lintian expects of a package. Given on every configure, so a
# change of them reaches the build folder made before.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
cflags="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release \
    -DOFFICERECORDS_BUILD_TESTS=OFF -DOFFICERECORDS_BUILD_BENCH=OFF "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags"
cmake --build "$out" -j"$(nproc)"
rm -f "$out"/package/officerecords_*.deb
(cd "$out" && cpack -G DEB)
deb="$(ls "$out"/package/officerecords_*.deb)"
echo "package: $deb"
