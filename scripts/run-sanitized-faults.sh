#!/usr/bin/env bash
# The end-to-end fault matrix against a kivclient built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/, only what the client needs): a bad
# access or undefined behaviour anywhere on a failure's road, the exit included,
# ends the client with a report and fails its row. Needs build/ (scripts/setup.sh)
# for the test program, the demo server and kivtool.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-asan -DKIV_SANITIZE=ON -DKIV_TESTS=OFF -DKIV_BENCH=OFF \
      -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DCMAKE_C_FLAGS="-O1 -g1" >/dev/null
cmake --build build-asan -j"${JOBS:-2}" --target kivclient

# Leaks of the libraries at exit are not this check's business; everything else stops the client.
export ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:exitcode=86"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
KIV_E2E_CLIENT="$PWD/build-asan/bin/kivclient" build/bin/kiv_e2e_tests --gtest_filter='FaultMatrix.*'
