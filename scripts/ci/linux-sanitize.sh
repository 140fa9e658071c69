#!/usr/bin/env bash
# Debug build with AddressSanitizer and UndefinedBehaviorSanitizer; any
# report fails the run.
set -euo pipefail
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DEXIFCHECK_SANITIZE=ON -DEXIFCHECK_WERROR=ON >/dev/null
cmake --build build/asan -j "$(nproc)"
ctest --test-dir build/asan --output-on-failure
