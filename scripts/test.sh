#!/usr/bin/env bash
# Runs every test headless (no display, no sound server needed).
#   scripts/test.sh [address|thread]   uses the matching build folder of scripts/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize="${1:-}"
dir=build${sanitize:+-$sanitize}
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp print_suppressions=0"
# The rate sweep takes a few odd rates there: the normal build sweeps them all.
[ -n "$sanitize" ] && export CLIPWRIGHT_SWEEP_RATES="8363 11025 44056 96000"
cd "$dir"
if [ "$sanitize" = thread ]; then
  # The sound system's own threads are not instrumented and would only give
  # false reports; Qt's are covered by tests/tsan.supp.
  ctest --output-on-failure --timeout 300 -j "$(nproc)" -LE 'device'
else
  ctest --output-on-failure --timeout 300 -j "$(nproc)"
fi
