#!/usr/bin/env bash
# Minutes 10 to 50 of a 60-minute 128 kbps MP3, against FFmpeg re-encoding
# with libmp3lame (goal: at most 0.6x on two cores), and on one thread
# against two (goal: two at most 0.55x one).
#   bench/cut_mp3.sh   (after scripts/build.sh; needs ffmpeg)
set -euo pipefail
here="$(dirname "$0")"
goal="goal <= 0.6" "$here/cut_vs_ffmpeg.sh" mp3 libmp3lame
. "$here/common.sh"
python3 bench/tone_wav.py "$work/long.wav" 60
"$cli" encode "$work/long.wav" "$work/source.mp3" --bitrate 128 --quiet
rm "$work/long.wav"
sync
goal="goal <= 0.55" yardstick="--threads 1" compare_in_turns "cut --threads 2" -- \
  "$cli" cut "$work/source.mp3" "$work/two.mp3" --start 600 --end 3000 --threads 2 --force --quiet \
  -- "$cli" cut "$work/source.mp3" "$work/one.mp3" --start 600 --end 3000 --threads 1 --force --quiet
