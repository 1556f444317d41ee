#!/usr/bin/env bash
# Builds the Debian package clipwright_VERSION-1_amd64.deb: both programs, the
# desktop entry, icons, AppStream data and manual pages, its dependencies
# declared from the shared libraries the programs link (dpkg-shlibdeps).
#   scripts/package.sh              builds the programs in build-package/ first
#   scripts/package.sh BUILD_DIR    packages a build already made
# Prints the package's path. Run scripts/install-deps.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-}"
if [ -z "$dir" ]; then
  dir=build-package
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF -DBUILD_BENCHMARKS=OFF > /dev/null
  cmake --build "$dir" -j "$(nproc)"
fi
rm -f "$dir"/clipwright_*.deb
# Files in the package belong to root whoever builds it.
(cd "$dir" && fakeroot cpack -G DEB > cpack.log 2>&1) || { cat "$dir/cpack.log" >&2; exit 1; }
ls "$PWD/$dir"/clipwright_*.deb
