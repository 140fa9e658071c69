#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite, exactly as CI does. Each
# stage is a script of its own in scripts/ci/, run in the order below; the
# first stage that fails stops the run.
#   scripts/test.sh           every stage, as CI runs them
#   scripts/test.sh --quick   the release build and the Linux suite only, for
#                             the edit-test loop (a few minutes)
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" == "--quick" ]]; then
  scripts/setup.sh
  exec bash scripts/ci/linux-release.sh
fi
scripts/setup.sh --all

stages=(
  linux-release   # release build, warnings as errors, unit and end-to-end tests
  linux-sanitize  # debug build with AddressSanitizer and UndefinedBehaviorSanitizer
  linux-tsan      # the suite with ThreadSanitizer: the reader threads and the checks
  windows         # MinGW-w64 exifcheck.exe, the suite under Wine, error.json as on Linux
  report-page     # exifcheck-report.html from both builds in headless chromium: the DOM, nothing loaded
  packages        # scripts/release.sh: the .deb installed and run, the zip's check-survey.bat under Wine
  linux-plain-read  # the suite again, reading every image file whole
  clang-tidy      # static analysis over src/ (.clang-tidy), clang's thread-safety analysis, layout (.clang-format)
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
