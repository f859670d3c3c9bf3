#!/usr/bin/env bash
# Builds and runs every benchmark under bench/ and prints the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
for bench in build/bin/bench_*; do
  echo "== $(basename "$bench")"
  "$bench" --benchmark_min_time=0.2
done
