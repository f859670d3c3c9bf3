#!/usr/bin/env bash
# Every test: installs what it needs, builds, runs the fuzzers briefly, the fault
# matrix against a client built with sanitizers, then the whole CTest suite
# (unit, tool and integration tests). Exit status 0 = all passed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/run-fuzzers.sh
bash scripts/run-sanitized-faults.sh
cd build
ctest --output-on-failure -j"${JOBS:-2}"
