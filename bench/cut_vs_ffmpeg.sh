#!/usr/bin/env bash
# Cuts minutes 10 to 50 out of a generated 60-minute 44.1 kHz stereo file
# (128 kbps) with clipwright-cli cut and with the same re-encoding by FFmpeg,
# in turns; prints both times (best of three), their ratio and the cutter's
# peak memory. Used by cut_mp3.sh and cut_wma.sh.
#   bench/cut_vs_ffmpeg.sh EXT FFMPEG_CODEC
# Needs ffmpeg, which only the benchmarks use: apt-get install ffmpeg
set -euo pipefail
ext="$1"; codec="$2"
. "$(dirname "$0")/common.sh"
need_ffmpeg
python3 bench/tone_wav.py "$work/long.wav" 60
"$cli" encode "$work/long.wav" "$work/source.$ext" --bitrate 128 --quiet
rm "$work/long.wav"

sync
compare_in_turns cut -- "$cli" cut "$work/source.$ext" "$work/ours.$ext" --start 600 --end 3000 --force --quiet \
  -- ffmpeg -nostdin -loglevel error -y -ss 600 -to 3000 -i "$work/source.$ext" -c:a "$codec" -b:a 128k "$work/theirs.$ext"
