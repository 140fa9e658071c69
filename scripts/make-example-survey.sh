#!/usr/bin/env bash
# Regenerates examples/survey with the test-support JPEG writer.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target write_example_survey >/dev/null
build/release/write_example_survey examples/survey
echo "wrote $(find examples/survey -type f | wc -l) files to examples/survey"
