#!/usr/bin/env bash
# Prints the path of a Linux exifcheck for the stages that compare against
# it: the one the linux-release stage has just built, or, when a stage runs
# alone, one built here without the tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [[ -x build/release/exifcheck ]]; then
  echo build/release/exifcheck
  exit 0
fi
cmake -S . -B build/linux-tool -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_TESTS=OFF >/dev/null
cmake --build build/linux-tool -j "$(nproc)" --target exifcheck >/dev/null
echo build/linux-tool/exifcheck
