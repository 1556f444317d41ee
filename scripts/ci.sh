#!/usr/bin/env bash
# Everything CI checks, in order: the build with warnings as errors and every
# test; the Debian package made from that build, checked by lintian, unpacked
# and run, then installed with apt, run and removed; the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, then under ThreadSanitizer;
# each fuzzer for 30 seconds on the seeds kept in fuzz/seeds/.
set -euo pipefail
cd "$(dirname "$0")/.."
WERROR=ON ./scripts/build.sh
./scripts/test.sh
deb=$(./scripts/package.sh build)
./tests/package_test.sh "$deb" --apt
# Warnings are the normal build's to judge: GCC's flow warnings give false
# alarms in code instrumented for the sanitizers.
./scripts/build.sh address
./scripts/test.sh address
./scripts/build.sh thread
./scripts/test.sh thread
WERROR=ON ./scripts/fuzz.sh 30
