#!/usr/bin/env bash
# Encodes a generated 44.1 kHz stereo WAV at 128 kbps with clipwright-cli
# encode and with FFmpeg, in turns; prints both times (best of three), their
# ratio and clipwright-cli's peak memory. Used by encode_mp3.sh and encode_wma.sh.
#   bench/encode_vs_ffmpeg.sh EXT FFMPEG_CODEC [minutes]
# Needs ffmpeg, which only the benchmarks use: apt-get install ffmpeg
set -euo pipefail
ext="$1"; codec="$2"; minutes="${3:-60}"
. "$(dirname "$0")/common.sh"
need_ffmpeg

python3 bench/tone_wav.py "$work/long.wav" "$minutes"

sync
compare_in_turns encode -- "$cli" encode "$work/long.wav" "$work/ours.$ext" --bitrate 128 --force --quiet \
  -- ffmpeg -nostdin -loglevel error -y -i "$work/long.wav" -c:a "$codec" -b:a 128k "$work/theirs.$ext"
