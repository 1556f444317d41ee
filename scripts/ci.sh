#!/usr/bin/env bash
# Everything CI checks, in order: the build with warnings as errors and every
# test; the same under AddressSanitizer and UndefinedBehaviorSanitizer; each
# fuzzer for 30 seconds on the seeds kept in fuzz/seeds/.
set -euo pipefail
cd "$(dirname "$0")/.."
export WERROR=ON
./scripts/build.sh
./scripts/test.sh
./scripts/build.sh address
./scripts/test.sh address
./scripts/fuzz.sh 30
