#!/usr/bin/env bash
# Minutes 10 to 50 of a 60-minute 44.1 kHz stereo FLAC file, cut by
# clipwright-cli (the source's frames copied, the two frames at the ends
# encoded) and by FFmpeg copying packets (`-ss -to -c copy`, which cuts at
# frame boundaries, not at the times asked for). Prints both times, their
# ratio (goal: at most 1.2x) and how many samples each result is off: ours
# against the source's decode of the range, FFmpeg's in where it starts and
# how long it is.
#   bench/lossless_flac.sh   (after scripts/build.sh; needs ffmpeg and python3)
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_ffmpeg
python3 bench/tone_wav.py "$work/long.wav" 60
"$cli" encode "$work/long.wav" "$work/source.flac" --quiet
rm "$work/long.wav"
sync
goal="goal <= 1.2" yardstick="ffmpeg -c copy" compare_in_turns "cut (FLAC, frames copied)" -- \
  "$cli" cut "$work/source.flac" "$work/ours.flac" --start 10:00 --end 50:00 --force --quiet \
  -- ffmpeg -nostdin -loglevel error -y -ss 600 -to 3000 -i "$work/source.flac" -c copy "$work/theirs.flac"
python3 - "$work" <<'PY'
import subprocess, sys
work = sys.argv[1]
def decode(name, start=None, end=None):
    cut = [] if start is None else ["-af", f"atrim=start_sample={start}:end_sample={end}"]
    return subprocess.run(["ffmpeg", "-v", "error", "-i", f"{work}/{name}", *cut, "-f", "s16le", "-"],
                          capture_output=True, check=True).stdout
start, end = 600 * 44100, 3000 * 44100
want = decode("source.flac", start, end)
ours, theirs = decode("ours.flac"), decode("theirs.flac")
wrong = sum(1 for i in range(0, min(len(ours), len(want)), 4) if ours[i:i + 4] != want[i:i + 4])
print(f"ours: {len(ours) // 4 - (end - start):+d} samples in length, {wrong} samples differ from the source's")
# Where FFmpeg's copy starts: its first 32 frames found in the source near the asked start.
whole = decode("source.flac", start - 44100, start + 44100)
at = whole.find(theirs[:128])
shift = (at // 4 - 44100) if at >= 0 else None
print(f"ffmpeg -c copy: {len(theirs) // 4 - (end - start):+d} samples in length, starts "
      f"{shift if shift is not None else '(not found)'} samples from the asked start")
PY
