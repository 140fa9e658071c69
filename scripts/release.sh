#!/usr/bin/env bash
# Builds the two release packages into build/packages/ and prints their
# paths, one a line:
#   exifcheck-VERSION-win64.zip   exifcheck.exe (MinGW-w64), check-survey.bat,
#                                 an example settings file and survey, the
#                                 README and the Chinese guide
#   exifcheck_VERSION_amd64.deb   the Linux tool, its manual page and docs
# The version is the one of project() in CMakeLists.txt. Installs what is
# missing first, as the other scripts do.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --release >&2

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
out=build/packages
rm -rf "$out"
mkdir -p "$out"

pack() {  # build folder: packs what its cmake --install would install
  rm -rf "$1/cpack"
  (cd "$1" && cpack -B cpack >/dev/null)
  find "$1/cpack" -maxdepth 1 -type f \( -name '*.zip' -o -name '*.deb' \) -exec cp {} "$out"/ \;
}

# The .deb's binary is built with Debian's own flags, hardening included
# (fortified functions, stack protector, read-only relocations bound at
# start), as a package of the distribution would be.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build/package-deb -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_TESTS=OFF \
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build/package-deb -j "$jobs" >/dev/null
pack build/package-deb

cmake -S . -B build/package-win64 --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_TESTS=OFF >/dev/null
cmake --build build/package-win64 -j "$jobs" >/dev/null
pack build/package-win64

find "$out" -maxdepth 1 -type f | sort
