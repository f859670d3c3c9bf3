#!/usr/bin/env bash
# Builds and runs every benchmark under bench/ and prints the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
for bench in build/bin/bench_*; do
  case "$(basename "$bench")" in
    bench_traffic_meter) continue ;;  # its own section below
  esac
  echo "== $(basename "$bench")"
  "$bench" --benchmark_min_time=0.2
done

# The traffic meter: the interposed socket path with the meter counting against
# the C library's own functions, interleaved; prints each workload's ratio and
# the worst (the target is at most 1.03).
echo "== bench_traffic_meter"
build/bin/bench_traffic_meter
