#!/usr/bin/env bash
# Joins and mixes two generated 10-minute 44.1 kHz stereo files, as WAV and
# as 128 kbps MP3, with clipwright-cli join/mix and with FFmpeg's concat and
# amix filters (MP3 written at 128 kbps), in turns; prints the best of three
# times of each and their ratios.   Goal: at most 1.0x FFmpeg for each.
#   bench/join_mix.sh   (after scripts/build.sh; needs ffmpeg)
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg

python3 bench/tone_wav.py "$work/a.wav" 10
python3 bench/tone_wav.py "$work/b.wav" 10
"$cli" encode "$work/a.wav" "$work/a.mp3" --bitrate 128 --quiet
"$cli" encode "$work/b.wav" "$work/b.mp3" --bitrate 128 --quiet
sync

for ext in wav mp3; do
  codec=(); [ "$ext" = mp3 ] && codec=(-c:a libmp3lame -b:a 128k)
  for job in join mix; do
    if [ "$job" = join ]; then filter="[0:a][1:a]concat=n=2:v=0:a=1"; else filter="[0:a][1:a]amix=inputs=2"; fi
    ours=$(best_of_three "$cli" "$job" "$work/a.$ext" "$work/b.$ext" "$work/ours.$ext" --force --quiet)
    theirs=$(best_of_three ffmpeg -nostdin -loglevel error -y -i "$work/a.$ext" -i "$work/b.$ext" \
      -filter_complex "$filter" "${codec[@]}" "$work/theirs.$ext")
    python3 -c "print(f'$job $ext: clipwright-cli {$ours:.2f} s, ffmpeg {$theirs:.2f} s, ratio {$ours / max($theirs, 0.01):.2f} (goal <= 1.0)')"
  done
done
