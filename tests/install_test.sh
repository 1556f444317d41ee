#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# both programs, the menu entry (validated), the icons, the AppStream file
# (validated where appstreamcli is installed) and the manual page.
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
fail() { echo "install test: $*" >&2; exit 1; }
for file in bin/clipwright bin/clipwright-cli share/applications/org.example.Clipwright.desktop \
            share/metainfo/org.example.Clipwright.metainfo.xml share/man/man1/clipwright-cli.1.gz share/man/man1/clipwright.1.gz; do
  [ -s "$prefix/$file" ] || fail "missing $file"
done
for size in 16 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/org.example.Clipwright.png"
  [ -s "$icon" ] || fail "missing the ${size}px icon"
  # A PNG of the size its folder says: width and height in the IHDR chunk.
  dims=$(od -An -tu1 -j16 -N8 "$icon" | awk '{print $3*256+$4, $7*256+$8}')
  [ "$dims" = "$size $size" ] || fail "the ${size}px icon is $dims"
done
grep -q '^Exec=clipwright %f$' "$prefix/share/applications/org.example.Clipwright.desktop" || fail "Exec"
for type in audio/mpeg audio/flac audio/ogg audio/x-opus+ogg audio/mp4; do
  grep -q "MimeType=.*$type;" "$prefix/share/applications/org.example.Clipwright.desktop" || fail "MimeType $type"
done
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$prefix/share/applications/org.example.Clipwright.desktop" || fail "desktop entry"
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.example.Clipwright.metainfo.xml" > /dev/null || fail "metainfo"
fi
"$prefix/bin/clipwright-cli" --version | grep -q "^clipwright-cli " || fail "--version"
# The tool needs QtCore at most: no Qt Gui, no Qt Multimedia, no FFmpeg at start.
if ldd "$prefix/bin/clipwright-cli" | grep -E -q 'libQt6(Gui|Widgets|Multimedia)|libav(codec|format)'; then
  fail "clipwright-cli links more than QtCore: $(ldd "$prefix/bin/clipwright-cli" | grep -E -o 'libQt6[A-Za-z]+|libav[a-z]+' | sort -u | tr '\n' ' ')"
fi
echo "installed and valid"
