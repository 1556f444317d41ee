#!/usr/bin/env bash
# Starts the program from the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
exec ./build/app/clipwright "$@"
