#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) into build-fuzz/ and runs
# each one for FUZZ_SECONDS (default 20) on a copy of its seed corpus in fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH="${FUZZ_SECONDS:-20}"
cmake -S . -B build-fuzz -DKIV_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"${JOBS:-2}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for fuzzer in build-fuzz/bin/fuzz_*; do
  name="$(basename "$fuzzer")"
  seeds="fuzz/corpus/${name#fuzz_}"
  mkdir -p "$work/$name" fuzz/artifacts
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work/$name"/
  echo "fuzz: $name for ${SECONDS_EACH}s"
  if ! "$fuzzer" -max_total_time="$SECONDS_EACH" -max_len=8192 -artifact_prefix=fuzz/artifacts/ \
       -print_final_stats=1 "$work/$name" >"$work/$name.log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -n 60 "$work/$name.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$work/$name.log" | tail -n 2
  fi
done
exit $status
