#!/usr/bin/env bash
# Checks the Debian package: lintian finds no error; it holds both programs,
# the desktop entry, icons, AppStream data and manual pages, and declares the
# libraries the programs open at run time; unpacked into a fresh folder root,
# its clipwright-cli runs (--version, info, a cut); the folder is removed.
# With --apt (CI, as root) it is also installed with apt, run from /usr/bin
# and removed again.
#   tests/package_test.sh PACKAGE.deb [--apt]
set -euo pipefail
deb="$(realpath "$1")"
fail() { echo "package test: $*" >&2; exit 1; }
[[ "$(basename "$deb")" =~ ^clipwright_[0-9.]+-[0-9]+_amd64\.deb$ ]] || fail "the package's name: $(basename "$deb")"

report=$(lintian --no-tag-display-limit "$deb" 2>&1 | grep -v 'running with root privileges' || true)
if grep -q '^E:' <<< "$report"; then fail "lintian: $(grep '^E:' <<< "$report")"; fi

depends=$(dpkg-deb -f "$deb" Depends)
for library in libmp3lame0 libavcodec libavformat libavutil libswresample libqt6core6 libqt6widgets6 libtag1v5 libcue2 libebur128; do
  grep -q "$library" <<< "$depends" || fail "Depends does not name $library: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for file in usr/bin/clipwright usr/bin/clipwright-cli usr/share/applications/org.example.Clipwright.desktop \
            usr/share/metainfo/org.example.Clipwright.metainfo.xml usr/share/man/man1/clipwright-cli.1.gz \
            usr/share/man/man1/clipwright.1.gz usr/share/icons/hicolor/256x256/apps/org.example.Clipwright.png \
            usr/share/doc/clipwright/copyright; do
  [ -s "$root/$file" ] || fail "the package has no $file"
done
zcat "$root/usr/share/man/man1/clipwright-cli.1.gz" | grep -q '^\.B batch' || fail "the manual page does not tell of batch"

# The unpacked programs, run where they were unpacked.
run_tool() {
  local cli="$1" work
  work=$(mktemp -d)
  "$cli" --version | grep -q "^clipwright-cli " || fail "$cli --version"
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 3 sine 440
  "$cli" info "$work/tone.wav" | grep -q '^total_samples: 132300$' || fail "$cli info"
  "$cli" cut "$work/tone.wav" "$work/cut.mp3" --start 1 --end 2 --quiet 2> /dev/null &&
    fail "$cli cut gave a WAV source an MP3 target"
  "$cli" encode "$work/tone.wav" "$work/tone.mp3" --quiet || fail "$cli encode (LAME opened at run time)"
  "$cli" info "$work/tone.mp3" | grep -q '^format: MP3' || fail "$cli info of its MP3"
  rm -rf "$work"
}
run_tool "$root/usr/bin/clipwright-cli"
rm -rf "$root"

if [ "${2:-}" = "--apt" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y "$deb" > /dev/null || fail "apt could not install $deb"
  [ "$(command -v clipwright-cli)" = /usr/bin/clipwright-cli ] || fail "clipwright-cli is not /usr/bin/clipwright-cli"
  run_tool /usr/bin/clipwright-cli
  apt-get remove -y clipwright > /dev/null || fail "apt could not remove clipwright"
  [ ! -e /usr/bin/clipwright-cli ] || fail "/usr/bin/clipwright-cli is still there"
fi
echo "package valid: $(basename "$deb")"
