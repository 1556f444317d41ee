#!/usr/bin/env python3
"""Writes a 20-second 22.05 kHz stereo WAV that looks like speech in a
waveform: bursts of rising and falling level, with pauses between them.
   scripts/demo_wav.py FILE"""
import math
import random
import struct
import sys

rate, seconds = 22050, 20
random.seed(3)
# (start, length) of each burst, in seconds
bursts = [(0.4, 2.6), (3.6, 1.4), (5.5, 3.2), (9.4, 0.9), (10.9, 2.8), (14.4, 1.6), (16.6, 2.9)]
frames = []
low = 0.0
for i in range(rate * seconds):
    t = i / rate
    level = 0.0
    for start, length in bursts:
        if start <= t < start + length:
            x = (t - start) / length
            level = math.sin(math.pi * x) * (0.55 + 0.45 * math.sin(2 * math.pi * 3.1 * t) ** 2)
    low = 0.9 * low + 0.1 * random.uniform(-1, 1)
    voice = 0.6 * math.sin(2 * math.pi * 140 * t) + 0.3 * math.sin(2 * math.pi * 420 * t) + 0.8 * low
    left = int(max(-32767, min(32767, 21000 * level * voice)))
    right = int(max(-32767, min(32767, 18000 * level * voice)))
    frames.append(struct.pack("<hh", left, right))
data = b"".join(frames)
with open(sys.argv[1], "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", len(data)) + data)
