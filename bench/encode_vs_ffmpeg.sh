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
ours_s=999; theirs_s=999; ours_kb=0
for _ in 1 2 3; do
  read -r s kb < <(measure "$cli" encode "$work/long.wav" "$work/ours.$ext" --bitrate 128 --force --quiet)
  ours_s=$(python3 -c "print(min($ours_s, $s))")
  ours_kb=$(( kb > ours_kb ? kb : ours_kb ))
  read -r s kb < <(measure ffmpeg -nostdin -loglevel error -y -i "$work/long.wav" -c:a "$codec" -b:a 128k "$work/theirs.$ext")
  theirs_s=$(python3 -c "print(min($theirs_s, $s))")
done
python3 - "$theirs_s" "$ours_s" "$ours_kb" <<'PY'
import sys
theirs, ours, kb = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
print(f"ffmpeg {theirs:.2f} s, clipwright-cli {ours:.2f} s, ratio {ours / max(theirs, 0.01):.2f} (goal <= 1.0), "
      f"peak RSS {kb / 1024:.1f} MB (goal < 50)")
PY
