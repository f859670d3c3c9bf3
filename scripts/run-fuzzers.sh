#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) into build-fuzz/ and runs
# each one on a copy of its seed corpus in fuzz/corpus/.
#
#   scripts/run-fuzzers.sh [--long] [fuzz_NAME ...]
#
# Default (CI): each target for FUZZ_SECONDS (default 15). --long: each target for
# FUZZ_RUNS executions (default 10 million) or FUZZ_LONG_SECONDS (default 1800),
# whichever comes first. Naming targets runs only those. A fault leaves its input in
# fuzz/artifacts/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."

long=0
targets=()
for arg in "$@"; do
  case "$arg" in
    --long) long=1 ;;
    fuzz_*) targets+=("$arg") ;;
    *) echo "usage: $0 [--long] [fuzz_NAME ...]" >&2; exit 2 ;;
  esac
done

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -DKIV_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${launcher[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build build-fuzz -j"${JOBS:-2}" --target "${targets[@]}"
else
  cmake --build build-fuzz -j"${JOBS:-2}"
  for fuzzer in build-fuzz/bin/fuzz_*; do targets+=("$(basename "$fuzzer")"); done
fi

if [ "$long" = 1 ]; then
  limits=(-runs="${FUZZ_RUNS:-10000000}" -max_total_time="${FUZZ_LONG_SECONDS:-1800}")
else
  limits=(-max_total_time="${FUZZ_SECONDS:-15}")
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for name in "${targets[@]}"; do
  fuzzer="build-fuzz/bin/$name"
  seeds="fuzz/corpus/${name#fuzz_}"
  mkdir -p "$work/$name" fuzz/artifacts
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work/$name"/
  echo "fuzz: $name ${limits[*]}"
  if ! "$fuzzer" "${limits[@]}" -max_len=8192 -artifact_prefix=fuzz/artifacts/ \
       -print_final_stats=1 "$work/$name" >"$work/$name.log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -n 60 "$work/$name.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$work/$name.log" | tail -n 2
  fi
done
exit $status
