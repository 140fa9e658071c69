#!/usr/bin/env bash
# Release build with warnings as errors; the whole unit and end-to-end suite.
set -euo pipefail
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_WERROR=ON >/dev/null
cmake --build build/release -j "$(nproc)"
ctest --test-dir build/release --output-on-failure
