#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite, exactly as CI does. Each
# stage is a script of its own in scripts/ci/, run in the order below; the
# first stage that fails stops the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --all

stages=(
  linux-release   # release build, warnings as errors, unit and end-to-end tests
  linux-sanitize  # debug build with AddressSanitizer and UndefinedBehaviorSanitizer
  windows         # MinGW-w64 exifcheck.exe, the suite under Wine, error.json as on Linux
  linux-plain-read  # the suite again, reading image files whole instead of mapping them
  clang-tidy      # static analysis over src/, checks named in .clang-tidy
  fuzz            # each libFuzzer target for 60 s from the seed corpus
)

started=$SECONDS
for stage in "${stages[@]}"; do
  printf '\n== %s ==\n' "$stage"
  begun=$SECONDS
  bash "scripts/ci/$stage.sh"
  printf '== %s passed in %d s ==\n' "$stage" $((SECONDS - begun))
done
printf '\nall %d stages passed in %d s\n' "${#stages[@]}" $((SECONDS - started))
