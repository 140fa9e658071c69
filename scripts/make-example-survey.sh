#!/usr/bin/env bash
# Regenerates examples/survey with the test-support JPEG writer.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
g++ -std=c++17 -O1 -Wall -Wextra -Wpedantic -Itests -o build/make_survey \
  examples/make_survey.cpp tests/support/jpeg_writer.cpp
build/make_survey examples/survey
echo "wrote $(find examples/survey -type f | wc -l) files to examples/survey"
