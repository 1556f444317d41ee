#!/usr/bin/env bash
# The waveform's overview of 60-minute files (MP3 at 128 kbps, PCM WAV, WMA at
# 128 kbps): `clipwright-cli peaks FILE --width 1000` (the first complete
# overview) and `--exact` (peaks of every decoded sample, on every core)
# against FFmpeg decoding the same file to nothing (`ffmpeg -i F -f null -`),
# in turns, with our peak memory. Goals: MP3 overview at most 0.1x FFmpeg's
# decode (under 0.5 s), WAV overview under 0.5 s, exact peaks at most 0.6x
# FFmpeg's decode on two cores, peak memory under 64 MB.
#   bench/peaks.sh            (after scripts/build.sh; needs ffmpeg)
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_ffmpeg

ffmpeg -v error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=3600" -ac 2 -c:a libmp3lame -b:a 128k "$work/long.mp3"
ffmpeg -v error -i "$work/long.mp3" -c:a pcm_s16le "$work/long.wav"
ffmpeg -v error -i "$work/long.mp3" -c:a wmav2 -b:a 128k "$work/long.wma"
sync

declare -A goals=([mp3]="goal <= 0.1 and under 0.5 s" [wav]="goal: under 0.5 s" [wma]="goal <= 0.6 (decoded)")
for format in mp3 wav wma; do
  goal=${goals[$format]} compare_in_turns "peaks ($format, 1000 columns)" -- "$cli" peaks "$work/long.$format" --width 1000 \
    -- ffmpeg -v error -i "$work/long.$format" -f null -
done
for format in mp3 wma; do
  goal="goal <= 0.6" compare_in_turns "peaks --exact ($format, 1000 columns)" -- "$cli" peaks "$work/long.$format" --width 1000 --exact \
    -- ffmpeg -v error -i "$work/long.$format" -f null -
done
