#!/usr/bin/env bash
# Minutes 10 to 50 of a 60-minute file of each format FFmpeg's codecs write
# here, against FFmpeg re-encoding the same range with the same encoder.
# Goal: at most 1.0x FFmpeg, peak memory under 64 MB.
#   bench/cut_codecs.sh [flac|ogg|opus|m4a ...]   (after scripts/build.sh; needs ffmpeg)
set -euo pipefail
here="$(dirname "$0")"
declare -A codec=([flac]=flac [ogg]=libvorbis [opus]=libopus [m4a]=aac)
for ext in "${@:-flac ogg opus m4a}"; do
  for one in $ext; do
    echo "== $one"
    "$here/cut_vs_ffmpeg.sh" "$one" "${codec[$one]}"
  done
done
