#!/usr/bin/env bash
# The suite built with ThreadSanitizer: frames are read on reader threads,
# and a race between them and the checks must fail the run. The end-to-end
# tests run the tool built the same way.
set -euo pipefail
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXIFCHECK_TSAN=ON -DEXIFCHECK_WERROR=ON >/dev/null
cmake --build build/tsan -j "$(nproc)"
# Some kernels place memory where this ThreadSanitizer cannot map its
# shadow; without address randomisation it always can.
setarch "$(uname -m)" -R ctest --test-dir build/tsan --output-on-failure
