#!/usr/bin/env bash
# Cuts 40 minutes out of a generated 60-minute 44.1 kHz stereo WAV with
# clipwright-cli and copies the same number of bytes with head; prints both
# times, their ratio and the cutter's peak memory.
# Goal: within 1.5x of the copy, peak RSS under 50 MB.
#   bench/cut_wav.sh            (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=build/cli/clipwright-cli
[ -x "$cli" ] || { echo "build first: scripts/build.sh"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/long.wav" <<'PY'
import math, struct, sys
rate, minutes = 44100, 60
frames = rate * 60 * minutes
block = b"".join(struct.pack("<hh", int(9000 * math.sin(i * 0.0627)), int(7000 * math.sin(i * 0.0231)))
                 for i in range(rate))
data_bytes = frames * 4
with open(sys.argv[1], "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + data_bytes) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", data_bytes))
    for _ in range(60 * minutes):
        f.write(block)
PY

bytes=$((44100 * 60 * 40 * 4 + 44))
measure() {  # prints "seconds kilobytes"
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null
  cat "$work/time"
}
# Let the generated file reach the disk, then take the best of three of each,
# alternating, so that write-back of one run does not slow the other.
sync
copy_s=999; cut_s=999; cut_kb=0
for _ in 1 2 3; do
  read -r s kb < <(measure sh -c "head -c $bytes '$work/long.wav' > '$work/copy.bin'")
  copy_s=$(python3 -c "print(min($copy_s, $s))")
  rm -f "$work/copy.bin"; sync
  read -r s kb < <(measure "$cli" cut "$work/long.wav" "$work/cut.wav" --start 00:10:00.0 --end 00:50:00.0 --force --quiet)
  cut_s=$(python3 -c "print(min($cut_s, $s))")
  cut_kb=$(( kb > cut_kb ? kb : cut_kb ))
  sync
done
[ "$(stat -c %s "$work/cut.wav")" -eq "$bytes" ] || { echo "wrong cut size"; exit 1; }
python3 - "$copy_s" "$cut_s" "$cut_kb" <<'PY'
import sys
copy, cut, kb = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
ratio = cut / max(copy, 0.01)
print(f"copy {copy:.2f} s, cut {cut:.2f} s, ratio {ratio:.2f} (goal <= 1.5), peak RSS {kb / 1024:.1f} MB (goal < 50)")
PY
