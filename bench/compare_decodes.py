#!/usr/bin/env python3
"""How far two cuts of minutes 10 to 50 are off, by FFmpeg's decodes: ours
in length and in its largest sample difference from the source's decode of
the range; theirs in length and where it starts.

    compare_decodes.py WORK SOURCE OURS THEIRS RATE [LABEL]

(files in WORK; OURS may be a WAV our reader decoded; LABEL names ours.)
"""
import array
import subprocess
import sys

work, source, ours_name, theirs_name, rate = sys.argv[1:6]
label = sys.argv[6] if len(sys.argv) > 6 else "ours"
rate = int(rate)


def decode(name, start=None, end=None):
    cut = [] if start is None else ["-af", f"atrim=start_sample={start}:end_sample={end}"]
    data = subprocess.run(["ffmpeg", "-v", "error", "-i", f"{work}/{name}", *cut, "-f", "s16le", "-"],
                          capture_output=True, check=True).stdout
    samples = array.array("h")
    samples.frombytes(data)
    return samples


start, end = 600 * rate, 3000 * rate
want = decode(source, start, end)
ours, theirs = decode(ours_name), decode(theirs_name)
worst = max(abs(a - b) for a, b in zip(ours, want))
print(f"{label}: {len(ours) // 2 - (end - start):+d} samples in length, largest difference from the source's decode {worst}")
whole = decode(source, start - rate, start + rate)
probe = theirs[2000:2064].tobytes()
at = whole.tobytes().find(probe)
shift = (at // 4 - 1000 - rate) if at >= 0 else None
print(f"ffmpeg -c copy: {len(theirs) // 2 - (end - start):+d} samples in length, starts "
      f"{shift if shift is not None else '(not found)'} samples from the asked start")
