#!/usr/bin/env bash
# Sets up, builds and runs exifcheck on the example survey in examples/.
# On a terminal the GBK texts are shown converted to UTF-8; piped or
# redirected, the output is left as the tool writes it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target exifcheck >/dev/null

set +e
if [[ -t 1 ]] && command -v iconv >/dev/null; then
  build/release/exifcheck examples/exifcheck.ini | iconv -f GBK -t UTF-8
  status=${PIPESTATUS[0]}
else
  build/release/exifcheck examples/exifcheck.ini
  status=$?
fi
set -e
echo "exifcheck ended with exit status $status (0: all clear, 1: images reported, see build/example-output/error.json; the report page is build/example-output/exifcheck-report.html, the per-frame table exifcheck-frames.csv beside it)" >&2
[[ $status -le 1 ]]
