#!/usr/bin/env bash
# Static analysis over every source of the tool, with the checks named in
# the root .clang-tidy; clang's thread-safety analysis over the tool and its
# tests (each value the reader threads share names its lock); and the
# layout of src/ and tests/ against the root .clang-format. Any finding
# fails the run.
set -euo pipefail
cmake -S . -B build/tidy -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DEXIFCHECK_TESTS=OFF >/dev/null
# Only the sources this build compiles: not the Windows ones, nor the
# cache probe of POSIX systems other than Linux.
mapfile -t sources < <(find src -name '*.cpp' ! -name '*_win32.cpp' ! -name 'cache_probe_posix.cpp' | sort)
# --quiet drops the per-file suppressed-warning counts; the findings stay,
# and WarningsAsErrors in .clang-tidy makes any of them a non-zero exit.
clang-tidy-14 --quiet -p build/tidy "${sources[@]}"
# A read of a shared value without its lock, or a lock taken twice, fails
# the build here; g++ does not know the annotations.
cmake -S . -B build/thread-safety -DCMAKE_CXX_COMPILER=clang++-14 -DEXIFCHECK_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-Wthread-safety -Wthread-safety-beta" >/dev/null
cmake --build build/thread-safety -j "$(nproc)" --target exifcheck exifcheck_tests
# The layout: clang-format -i over a file shows what it wants changed.
mapfile -t formatted < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h')
clang-format-14 --dry-run --Werror "${formatted[@]}"
