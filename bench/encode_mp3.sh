#!/usr/bin/env bash
# 60 minutes of 44.1 kHz stereo into MP3 at 128 kbps, against FFmpeg's
# libmp3lame (goal: at most 0.6x on two cores), and on one thread against
# two (goal: two at most 0.55x one).
#   bench/encode_mp3.sh [minutes]     (after scripts/build.sh; needs ffmpeg)
set -euo pipefail
here="$(dirname "$0")"
goal="goal <= 0.6" "$here/encode_vs_ffmpeg.sh" mp3 libmp3lame "${1:-60}"
. "$here/common.sh"
python3 bench/tone_wav.py "$work/long.wav" "${1:-60}"
sync
goal="goal <= 0.55" yardstick="--threads 1" compare_in_turns "--threads 2" -- \
  "$cli" encode "$work/long.wav" "$work/two.mp3" --bitrate 128 --threads 2 --force --quiet \
  -- "$cli" encode "$work/long.wav" "$work/one.mp3" --bitrate 128 --threads 1 --force --quiet
