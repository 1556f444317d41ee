#!/usr/bin/env bash
# Builds the file reader fuzzers (clang's libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a while on the
# seeds in fuzz/seeds/, copied so that the repository's seeds stay as they are.
#   scripts/fuzz.sh [seconds]     (30 for each fuzzer unless given)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
fuzzers=(tags wav media mp3cut)
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=fuzzer -DBUILD_TESTS=OFF \
  -DBUILD_BENCHMARKS=OFF -DWERROR="${WERROR:-OFF}" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${fuzzers[@]/%/_fuzzer}"
for name in "${fuzzers[@]}"; do
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  cp fuzz/seeds/"$name"/* "$corpus"/
  log=build-fuzz/$name.log
  echo "== ${name}_fuzzer, ${seconds} s"
  if ! build-fuzz/fuzz/"${name}"_fuzzer -max_total_time="$seconds" -max_len=16384 -timeout=10 "$corpus" >"$log" 2>&1; then
    tail -60 "$log"
    echo "${name}_fuzzer found a fault; the input that shows it is named in the lines above" >&2
    exit 1
  fi
  grep -E "^Done " "$log"
done
