#!/usr/bin/env bash
# Cuts 40 minutes out of a generated 60-minute 44.1 kHz stereo WAV with
# clipwright-cli, copies the same number of bytes with dd (plain, and with
# conv=fsync, which like the cutter waits until the copy is on disk), and
# (when ffmpeg is installed) cuts the same range with `ffmpeg -c copy`;
# prints the best of three times of each, the ratios and the cutter's peak
# memory.
# Goal: at most 1.0x dd, faster than ffmpeg -c copy, peak RSS under 30 MB.
#   bench/cut_wav.sh            (after scripts/build.sh)
set -euo pipefail
. "$(dirname "$0")/common.sh"

python3 bench/tone_wav.py "$work/long.wav" 60

bytes=$((44100 * 60 * 40 * 4 + 44))
# Let the generated file reach the disk, then take the best of three of each,
# alternating, so that write-back of one run does not slow the other.
sync
copy_s=999; synced_s=999; cut_s=999; cut_kb=0; ffmpeg_s=999
for _ in 1 2 3; do
  read -r s kb < <(measure dd if="$work/long.wav" of="$work/copy.bin" bs=1M count=$((bytes / 1048576)) status=none)
  copy_s=$(python3 -c "print(min($copy_s, $s))")
  rm -f "$work/copy.bin"; sync
  read -r s kb < <(measure dd if="$work/long.wav" of="$work/copy.bin" bs=1M count=$((bytes / 1048576)) status=none conv=fsync)
  synced_s=$(python3 -c "print(min($synced_s, $s))")
  rm -f "$work/copy.bin"; sync
  if command -v ffmpeg > /dev/null; then
    read -r s kb < <(measure ffmpeg -nostdin -loglevel error -y -ss 600 -to 3000 -i "$work/long.wav" -c copy "$work/ff.wav")
    ffmpeg_s=$(python3 -c "print(min($ffmpeg_s, $s))")
    rm -f "$work/ff.wav"; sync
  fi
  read -r s kb < <(measure "$cli" cut "$work/long.wav" "$work/cut.wav" --start 00:10:00.0 --end 00:50:00.0 --force --quiet)
  cut_s=$(python3 -c "print(min($cut_s, $s))")
  cut_kb=$(( kb > cut_kb ? kb : cut_kb ))
  sync
done
[ "$(stat -c %s "$work/cut.wav")" -eq "$bytes" ] || { echo "wrong cut size"; exit 1; }
python3 - "$copy_s" "$cut_s" "$cut_kb" "$ffmpeg_s" "$synced_s" <<'PY'
import sys
copy, cut, kb, ff, synced = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]), float(sys.argv[5])
print(f"dd {copy:.2f} s, cut {cut:.2f} s, ratio {cut / max(copy, 0.01):.2f} (goal <= 1.0), peak RSS {kb / 1024:.1f} MB (goal < 30)")
print(f"dd conv=fsync {synced:.2f} s, ratio {cut / max(synced, 0.01):.2f}")
if ff < 999:
    print(f"ffmpeg -c copy {ff:.2f} s, ratio {cut / max(ff, 0.01):.2f} (goal < 1.0)")
PY
