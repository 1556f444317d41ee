#!/usr/bin/env bash
# Decodes a generated 60-minute MP3 to WAV with clipwright-cli and with the
# ffmpeg command, and prints both times and their ratio (goal: at most 1.2).
# ffmpeg is installed here, for this comparison only.
#   bench/decode_mp3.sh            (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=build/cli/clipwright-cli
[ -x "$cli" ] || { echo "build first: scripts/build.sh"; exit 1; }
command -v ffmpeg >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ffmpeg >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -v error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=3600" -ac 2 \
  -c:a libmp3lame -b:a 128k "$work/long.mp3"
sync

measure() {  # prints seconds
  /usr/bin/time -f "%e" -o "$work/time" "$@" > /dev/null 2>&1
  cat "$work/time"
}
ours=999; theirs=999
for _ in 1 2 3; do
  s=$(measure "$cli" decode "$work/long.mp3" "$work/ours.wav" --force --quiet)
  ours=$(python3 -c "print(min($ours, $s))")
  s=$(measure ffmpeg -v error -y -i "$work/long.mp3" -c:a pcm_s16le "$work/theirs.wav")
  theirs=$(python3 -c "print(min($theirs, $s))")
done
python3 - "$ours" "$theirs" <<'PY'
import sys
ours, theirs = float(sys.argv[1]), float(sys.argv[2])
print(f"clipwright-cli {ours:.2f} s, ffmpeg {theirs:.2f} s, ratio {ours / max(theirs, 0.01):.2f} (goal <= 1.2)")
PY
