#!/usr/bin/env bash
# Cuts minutes 10 to 50 out of a generated 60-minute 44.1 kHz stereo file
# (128 kbps) with clipwright-cli cut and with the same re-encoding by FFmpeg,
# in turns; prints both times (best of three), their ratio and the cutter's
# peak memory. Used by cut_mp3.sh, cut_wma.sh and cut_codecs.sh (FLAC: no bit rate).
#   bench/cut_vs_ffmpeg.sh EXT FFMPEG_CODEC
# Needs ffmpeg, which only the benchmarks use: apt-get install ffmpeg
set -euo pipefail
ext="$1"; codec="$2"
. "$(dirname "$0")/common.sh"
need_ffmpeg
python3 bench/tone_wav.py "$work/long.wav" 60
rate=(--bitrate 128); theirs_rate=(-b:a 128k)
[ "$ext" = flac ] && rate=() && theirs_rate=()
"$cli" encode "$work/long.wav" "$work/source.$ext" "${rate[@]}" --quiet
rm "$work/long.wav"

sync
compare_in_turns cut -- "$cli" cut "$work/source.$ext" "$work/ours.$ext" --start 600 --end 3000 --force --quiet \
  -- ffmpeg -nostdin -loglevel error -y -ss 600 -to 3000 -i "$work/source.$ext" -c:a "$codec" "${theirs_rate[@]}" "$work/theirs.$ext"
