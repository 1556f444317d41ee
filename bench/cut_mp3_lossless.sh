#!/usr/bin/env bash
# Minutes 10 to 50 of a generated 60-minute 128 kbps MP3, cut without
# re-encoding by clipwright-cli cut --lossless, by mp3splt (frame mode) and
# by ffmpeg -c copy, in turns. Prints the best of three times, our ratio to
# each, and each result's error at the start and the end in samples, found
# where its decode matches the source's (all three decode with FFmpeg).
# Goal: at most 2x mp3splt's time, 0 samples error at both ends.
#   bench/cut_mp3_lossless.sh   (after scripts/build.sh)
# Needs ffmpeg and mp3splt, which only the benchmarks use: apt-get install ffmpeg mp3splt
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg
command -v mp3splt > /dev/null || { echo "mp3splt is needed for the comparison: apt-get install mp3splt"; exit 1; }

# Pink noise: it never repeats, so a decode matches the source at one place only.
ffmpeg -nostdin -loglevel error -f lavfi -i "anoisesrc=d=3600:c=pink:r=44100:a=0.3:seed=7" -ac 2 \
  -c:a libmp3lame -b:a 128k "$work/source.mp3"

ours=(  "$cli" cut "$work/source.mp3" "$work/ours.mp3" --start 600 --end 3000 --lossless --force --quiet)
splt=(  mp3splt -Q -f -d "$work" -o splt "$work/source.mp3" 10.00 50.00)
copy=(  ffmpeg -nostdin -loglevel error -y -ss 600 -to 3000 -i "$work/source.mp3" -c copy "$work/copy.mp3")
sync
ours_s=999 splt_s=999 copy_s=999 ours_kb=0
for _ in 1 2 3; do
  read -r s kb < <(measure "${ours[@]}"); ours_s=$(python3 -c "print(min($ours_s, $s))"); ours_kb=$(( kb > ours_kb ? kb : ours_kb ))
  read -r s kb < <(measure "${splt[@]}"); splt_s=$(python3 -c "print(min($splt_s, $s))")
  read -r s kb < <(measure "${copy[@]}"); copy_s=$(python3 -c "print(min($copy_s, $s))")
done
python3 -c "print(f'mp3splt -f {$splt_s:.2f} s, ffmpeg -c copy {$copy_s:.2f} s, clipwright-cli cut --lossless {$ours_s:.2f} s: '
                  f'{$ours_s / max($splt_s, 0.01):.2f}x mp3splt (goal <= 2.0), {$ours_s / max($copy_s, 0.01):.2f}x ffmpeg, peak RSS {$ours_kb / 1024:.1f} MB')"

# The errors: where 128 frames from half a second into each result, and half
# a second before its end, lie in the source's own decode.
decode() { ffmpeg -nostdin -loglevel error -i "$1" -f s16le -ac 2 -; }
decode "$work/source.mp3" > "$work/source.raw"
for name in ours splt copy; do
  decode "$work/$name.mp3" > "$work/$name.raw"
  python3 - "$work/source.raw" "$work/$name.raw" "$name" <<'PY'
import os, sys
rate, frame = 44100, 4
names = {"ours": "clipwright-cli --lossless", "splt": "mp3splt -f", "copy": "ffmpeg -c copy"}
source, result, name = sys.argv[1], sys.argv[2], sys.argv[3]
frames = os.path.getsize(result) // frame
def window(path, first, count):
    with open(path, "rb") as f:
        f.seek(first * frame)
        return f.read(count * frame)
def place(offset, expected):
    """Where the result's frame `offset` lies in the source, near `expected`."""
    needle = window(result, offset, 128)
    lo = max(0, expected + offset - 10 * rate)
    hay = window(source, lo, 20 * rate)
    at = hay.find(needle)
    while at >= 0 and at % frame:
        at = hay.find(needle, at + 1)
    return None if at < 0 else lo + at // frame - offset
start = place(rate // 2, 600 * rate)
end = place(frames - rate // 2, 3000 * rate - frames)
if start is None or end is None:
    print(f"{names[name]}: its decode matches the source nowhere near the cut")
else:
    print(f"{names[name]}: start error {start - 600 * rate:+d} samples, end error {end + frames - 3000 * rate:+d} samples")
PY
  rm "$work/$name.raw"
done
