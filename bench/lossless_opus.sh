#!/usr/bin/env bash
# Minutes 10 to 50 of a 60-minute 48 kHz stereo Opus file (128 kbps), cut by
# clipwright-cli --lossless (the source's packets copied from half a second
# before the range, trimmed by pre-skip and the last granule position) and
# by FFmpeg copying packets (`-ss -to -c copy`). Prints both times, their
# ratio (goal: at most 1.2x) and how far each result is off: in length, and
# for ours the largest sample difference from the source's decode of the
# range; for FFmpeg's where it starts.
#   bench/lossless_opus.sh   (after scripts/build.sh; needs ffmpeg and python3)
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg
python3 bench/tone_wav.py "$work/long.wav" 60
"$cli" encode "$work/long.wav" "$work/source.opus" --bitrate 128 --quiet
rm "$work/long.wav"
sync
goal="goal <= 1.2" yardstick="ffmpeg -c copy" compare_in_turns "cut --lossless (Opus, packets copied)" -- \
  "$cli" cut "$work/source.opus" "$work/ours.opus" --start 10:00 --end 50:00 --lossless --force --quiet \
  -- ffmpeg -nostdin -loglevel error -y -ss 600 -to 3000 -i "$work/source.opus" -c copy "$work/theirs.opus"
python3 bench/compare_decodes.py "$work" source.opus ours.opus theirs.opus 48000
