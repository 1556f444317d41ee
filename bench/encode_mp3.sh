#!/usr/bin/env bash
# 60 minutes of 44.1 kHz stereo into MP3 at 128 kbps, against FFmpeg's libmp3lame.
# Goal: at most 1.0x FFmpeg, peak RSS under 50 MB.
#   bench/encode_mp3.sh [minutes]     (after scripts/build.sh; needs ffmpeg)
exec "$(dirname "$0")/encode_vs_ffmpeg.sh" mp3 libmp3lame "${1:-60}"
