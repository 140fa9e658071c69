#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time from a copy
# of the committed seed corpus; a crash, sanitizer report, leak or timeout
# fails the run. FUZZ_SECONDS changes the time per target.
set -euo pipefail
seconds=${FUZZ_SECONDS:-60}
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DEXIFCHECK_FUZZ=ON -DEXIFCHECK_TESTS=OFF -DEXIFCHECK_WERROR=ON >/dev/null
cmake --build build/fuzz -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in read_jpeg decode_entry partial_read settings thumbnail xmp_packet; do
  # The copy grows as the fuzzer finds new inputs; the committed seeds stay few.
  corpus=build/fuzz/corpus/$target
  rm -rf "$corpus" && mkdir -p "$corpus" && cp fuzz/corpus/"$target"/* "$corpus"/
  # Crash inputs land in build/fuzz/artifacts/, to keep as regression tests.
  mkdir -p build/fuzz/artifacts
  printf -- '-- %s: %d s\n' "$target" "$seconds"
  log=build/fuzz/$target.log
  if ! build/fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/"$target"- "$corpus" >"$log" 2>&1; then
    tail -n 80 "$log"
    exit 1
  fi
  grep -E '^#[0-9]+.*DONE|stat::number_of_executed_units' "$log"
done
