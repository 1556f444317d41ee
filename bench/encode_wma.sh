#!/usr/bin/env bash
# 60 minutes of 44.1 kHz stereo into WMA at 128 kbps, against FFmpeg's wmav2.
# Goal: at most 1.0x FFmpeg.
#   bench/encode_wma.sh [minutes]     (after scripts/build.sh; needs ffmpeg)
exec "$(dirname "$0")/encode_vs_ffmpeg.sh" wma wmav2 "${1:-60}"
