#!/usr/bin/env bash
# Builds the program and its tests.
#   scripts/build.sh            normal build in build/
#   scripts/build.sh address    AddressSanitizer + UndefinedBehaviorSanitizer in build-address/
#   scripts/build.sh thread     ThreadSanitizer in build-thread/
# WERROR=ON makes every warning an error (CI builds so).
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize="${1:-}"
dir=build${sanitize:+-$sanitize}
# Sanitizer builds leave out the benchmarks and keep line tables only: they
# are for the tests.
extra=()
[ -n "$sanitize" ] && extra=(-DBUILD_BENCHMARKS=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE="$sanitize" -DWERROR="${WERROR:-OFF}" "${extra[@]}"
cmake --build "$dir" -j "$(nproc)"
