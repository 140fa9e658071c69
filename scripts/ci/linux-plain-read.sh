#!/usr/bin/env bash
# The whole suite against the build that reads every image file whole
# instead of its head and tail first: both read paths must behave alike.
set -euo pipefail
cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_PLAIN_READ=ON >/dev/null
cmake --build build/plain -j "$(nproc)"
ctest --test-dir build/plain --output-on-failure
