#!/usr/bin/env python3
"""Writes a 44.1 kHz stereo 16-bit WAV of two tones with some detail.
   bench/tone_wav.py FILE [minutes]   (60 by default)"""
import math
import struct
import sys

rate = 44100
minutes = int(sys.argv[2]) if len(sys.argv) > 2 else 60
block = b"".join(struct.pack("<hh", int(9000 * math.sin(i * 0.0627) + 2000 * math.sin(i * 1.37)),
                                    int(7000 * math.sin(i * 0.0231) + 1500 * math.sin(i * 2.11)))
                 for i in range(rate))
data_bytes = rate * 60 * minutes * 4
with open(sys.argv[1], "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + data_bytes) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", data_bytes))
    for _ in range(60 * minutes):
        f.write(block)
