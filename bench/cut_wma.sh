#!/usr/bin/env bash
# Minutes 10 to 50 of a 60-minute 128 kbps WMA, against FFmpeg re-encoding with wmav2.
# Goal: at most 1.0x FFmpeg.   bench/cut_wma.sh   (after scripts/build.sh; needs ffmpeg)
exec "$(dirname "$0")/cut_vs_ffmpeg.sh" wma wmav2
