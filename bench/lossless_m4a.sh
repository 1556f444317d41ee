#!/usr/bin/env bash
# Minutes 10 to 50 of a 60-minute 44.1 kHz stereo AAC file in M4A (128 kbps,
# FFmpeg's aac encoder without noise substitution), cut by clipwright-cli
# --lossless (the source's packets copied from one before the range, the
# edit list set to the range) and by FFmpeg copying packets
# (`-ss -to -c copy`). Prints both times, their ratio (goal: at most 1.2x)
# and how far each result is off: for ours the length our reader counts and
# the largest difference from the source's decode of the range; for
# FFmpeg's where its decode starts.
#   bench/lossless_m4a.sh   (after scripts/build.sh; needs ffmpeg and python3)
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg
python3 bench/tone_wav.py "$work/long.wav" 60
ffmpeg -nostdin -loglevel error -y -i "$work/long.wav" -c:a aac -aac_pns 0 -b:a 128k "$work/source.m4a"
rm "$work/long.wav"
sync
goal="goal <= 1.2" yardstick="ffmpeg -c copy" compare_in_turns "cut --lossless (M4A, packets copied)" -- \
  "$cli" cut "$work/source.m4a" "$work/ours.m4a" --start 10:00 --end 50:00 --lossless --force --quiet \
  -- ffmpeg -nostdin -loglevel error -y -ss 600 -to 3000 -i "$work/source.m4a" -c copy "$work/theirs.m4a"
"$cli" decode "$work/ours.m4a" "$work/ours.wav" --force --quiet
python3 bench/compare_decodes.py "$work" source.m4a ours.wav theirs.m4a 44100 "ours (our reader)"
