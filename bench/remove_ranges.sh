#!/usr/bin/env bash
# Removes five ranges from a generated 60-minute 44.1 kHz stereo file, as
# WAV and as 128 kbps MP3, with clipwright-cli remove; for comparison the
# same pieces are kept by FFmpeg (asplit, atrim and concat; MP3 encoded once
# at 128 kbps) and the WAV file is copied with cp. Prints the best of three
# times of each and the ratios.
# Goal: at most 1.2x FFmpeg for MP3, at most 3x the copy for WAV.
#   bench/remove_ranges.sh   (after scripts/build.sh; needs ffmpeg)
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg

python3 bench/tone_wav.py "$work/long.wav" 60
"$cli" encode "$work/long.wav" "$work/long.mp3" --bitrate 128 --quiet
export TMPDIR="$work"  # the tool's pieces go beside the results
sync

# The ranges in seconds, and the pieces that remain (each range widened by 0.1 s).
ranges=(--range 300-360 --range 900-1020 --range 1500-1560 --range 2100-2400 --range 3000-3060)
pieces=("0:299.9" "360.1:899.9" "1020.1:1499.9" "1560.1:2099.9" "2400.1:2999.9" "3060.1:3600")
filter="[0:a]asplit=${#pieces[@]}"
for i in "${!pieces[@]}"; do filter+="[s$i]"; done
filter+=";"
for i in "${!pieces[@]}"; do
  filter+="[s$i]atrim=${pieces[$i]},asetpts=PTS-STARTPTS[p$i];"
done
for i in "${!pieces[@]}"; do filter+="[p$i]"; done
filter+="concat=n=${#pieces[@]}:v=0:a=1"

ours=$(best_of_three "$cli" remove "$work/long.mp3" "$work/ours.mp3" "${ranges[@]}" --force --quiet)
theirs=$(best_of_three ffmpeg -nostdin -loglevel error -y -i "$work/long.mp3" -filter_complex "$filter" \
  -c:a libmp3lame -b:a 128k "$work/theirs.mp3")
python3 -c "print(f'MP3: clipwright-cli {$ours:.2f} s, ffmpeg {$theirs:.2f} s, ratio {$ours / max($theirs, 0.01):.2f} (goal <= 1.2)')"

ours=$(best_of_three "$cli" remove "$work/long.wav" "$work/ours.wav" "${ranges[@]}" --force --quiet)
copy=$(best_of_three cp "$work/long.wav" "$work/copy.wav")
theirs=$(best_of_three ffmpeg -nostdin -loglevel error -y -i "$work/long.wav" -filter_complex "$filter" "$work/theirs.wav")
python3 -c "print(f'WAV: clipwright-cli {$ours:.2f} s, cp {$copy:.2f} s, ratio {$ours / max($copy, 0.01):.2f} (goal <= 3); ffmpeg {$theirs:.2f} s')"
