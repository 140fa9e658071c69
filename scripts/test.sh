#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite, as CI does:
#   1. Release build, warnings as errors, unit and end-to-end tests.
#   2. Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, the same tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --all

jobs=$(nproc)
step() { printf '\n== %s ==\n' "$*"; }

step "release build and tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_WERROR=ON >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure

step "sanitizer build and tests"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DEXIFCHECK_SANITIZE=ON -DEXIFCHECK_WERROR=ON >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure

step "all test runs passed"
