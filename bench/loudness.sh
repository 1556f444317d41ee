#!/usr/bin/env bash
# The loudness of a 60-minute 44.1 kHz stereo WAV file and of the same as a
# 128 kbps MP3: clipwright-cli loudness against FFmpeg's ebur128 filter with
# the true peak (`-af ebur128=peak=true`). Prints both times, their ratio
# (goal: at most 1.2x) and both tools' figures side by side.
#   bench/loudness.sh   (after scripts/build.sh; needs ffmpeg, lame and python3)
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg
python3 bench/tone_wav.py "$work/long.wav" 60
lame --quiet -b 128 "$work/long.wav" "$work/long.mp3"
sync
for file in long.wav long.mp3; do
  goal="goal <= 1.2" yardstick="ffmpeg ebur128" compare_in_turns "loudness ($file)" -- \
    "$cli" loudness "$work/$file" \
    -- sh -c "ffmpeg -nostdin -nostats -i '$work/$file' -af ebur128=peak=true -f null - 2> '$work/theirs.txt'"
  "$cli" loudness "$work/$file" | sed 's/^/  ours: /'
  sed -n '/Summary:/,$p' "$work/theirs.txt" | grep -E 'I:|LRA:|Peak:' | sed 's/^ */  ffmpeg: /'
done
