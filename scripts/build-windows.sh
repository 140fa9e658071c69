#!/usr/bin/env bash
# Builds exifcheck.exe for 64-bit Windows with MinGW-w64, on Debian 12:
# one statically linked file, build/windows/exifcheck.exe, that runs on any
# Windows without a DLL or a runtime installer beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --windows

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
cmake -S . -B build/windows --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/windows -j "$jobs" --target exifcheck >/dev/null
echo "built build/windows/exifcheck.exe; run it as: exifcheck.exe settings.ini" >&2
