#!/usr/bin/env bash
# Minutes 10 to 50 of a 60-minute 128 kbps MP3, against FFmpeg re-encoding with libmp3lame.
# Goal: at most 1.0x FFmpeg.   bench/cut_mp3.sh   (after scripts/build.sh; needs ffmpeg)
exec "$(dirname "$0")/cut_vs_ffmpeg.sh" mp3 libmp3lame
