#!/usr/bin/env bash
# Builds the programs and installs them, with their desktop entry, icons,
# AppStream description and manual page, under a prefix.
#   scripts/install.sh [PREFIX]      (default /usr/local; run scripts/install-deps.sh first)
set -euo pipefail
cd "$(dirname "$0")/.."
prefix="${1:-/usr/local}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
cmake --install build --prefix "$prefix"
# Menus and file managers pick the new entry and icons up at once where these tools exist.
if [ -w "$prefix/share" ]; then
  command -v update-desktop-database > /dev/null && update-desktop-database -q "$prefix/share/applications" || true
  command -v gtk-update-icon-cache > /dev/null && gtk-update-icon-cache -q -t "$prefix/share/icons/hicolor" || true
fi
echo "installed under $prefix"
