#!/usr/bin/env python3
"""Every sample rate, common and odd, through every format that takes it.

  rate_sweep.py CLI

For each rate a two-second stereo sweep made by sox is written in each
format by the tool (`encode`, `decode` for WAV), cut to [0.5 s, 1.5 s),
and the cut decoded to WAV. The counts must be exact everywhere: the
written file's and the cut's as `info` and FFmpeg give them, the decoded
cut's; the lossless formats must also give back the source's very samples.
Prints a line a rate and format; exits 1 when any is wrong.
"""

import array
import os
import shutil
import subprocess
import sys
import tempfile

CLI = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "clipwright-cli"

# The rates a format's encoder takes (None: any from 8 kHz to 192 kHz).
MP3_RATES = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}
WMA_RATES = {8000, 11025, 16000, 22050, 32000, 44100, 48000}
AAC_RATES = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000}
FORMATS = {
    # extension: (rates, lossless)
    "wav": (None, True),
    "flac": (None, True),
    "aiff": (None, True),
    "ogg": (None, False),
    "m4a": (AAC_RATES, False),
    "mp3": (MP3_RATES, False),
    "wma": ({r for r in range(8000, 48001)}, False),
}
RATES = [8000, 8363, 9600, 11025, 12000, 14400, 16000, 18900, 22050, 24000, 30000, 32000, 37800, 44056, 44100,
         47250, 48000, 50000, 50400, 64000, 88200, 96000, 100000, 176400, 192000]
# The sanitizer builds, several times slower, take a few of the odd ones (CLIPWRIGHT_SWEEP_RATES="11025 44056").
if os.environ.get("CLIPWRIGHT_SWEEP_RATES"):
    RATES = [int(rate) for rate in os.environ["CLIPWRIGHT_SWEEP_RATES"].split()]


def run(*arguments):
    done = subprocess.run([CLI, *arguments], capture_output=True, text=True, timeout=300)
    return done.returncode, done.stdout + done.stderr


def info_value(path, key):
    code, out = run("info", path)
    for line in out.splitlines():
        if line.startswith(key + ": "):
            return int(line.split(": ")[1])
    return f"info failed ({code}): {out.strip()}"


def info_samples(path):
    return info_value(path, "total_samples")


def ffmpeg_samples(path):
    """FFmpeg's decode as interleaved 32-bit samples."""
    data = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s32le", "-c:a", "pcm_s32le", "-"],
                          capture_output=True, timeout=300).stdout
    values = array.array("i")
    values.frombytes(data[:len(data) - len(data) % 4])
    return values


def check(folder, rate, ext, lossless):
    source = os.path.join(folder, f"s{rate}.wav")
    whole = os.path.join(folder, f"w{rate}.{ext}")
    cut = os.path.join(folder, f"c{rate}.{ext}")
    back = os.path.join(folder, f"d{rate}_{ext}.wav")
    code, out = run("decode" if ext == "wav" else "encode", source, whole, "--force", "--quiet")
    if code != 0:
        return f"writing failed ({code}): {out.strip()}"
    # WMA has a table of rates; others are converted to the nearest it has, but a rate it has is kept.
    written = info_value(whole, "sample_rate")
    if written != rate and not (ext == "wma" and rate not in WMA_RATES):
        return f"written at {written} Hz, not at the source's {rate} Hz"
    rate = written
    if (n := info_samples(whole)) != 2 * rate:
        return f"written: info says {n} samples, not {2 * rate}"
    # ASF cannot say where its audio ends: FFmpeg decodes WMA's last frame whole.
    # Nor does FFmpeg's MP4 reader honour the end of an edit list: the edit list says it (info).
    if ext not in ("wma", "m4a") and (n := len(ffmpeg_samples(whole)) // 2) != 2 * rate:
        return f"written: FFmpeg decodes {n} samples, not {2 * rate}"
    # 0.5 s and 1.5 s fall on the nearest sample, halves to the even one (Python's round).
    start, end = round(rate * 0.5), round(rate * 1.5)
    count = end - start
    code, out = run("cut", whole, cut, "--start", "0.5", "--end", "1.5", "--force", "--quiet")
    if code != 0:
        return f"cut failed ({code}): {out.strip()}"
    if (n := info_samples(cut)) != count:
        return f"cut: info says {n} samples, not {count}"
    code, out = run("decode", cut, back, "--force", "--quiet")
    if code != 0:
        return f"decoding the cut failed ({code}): {out.strip()}"
    decoded = ffmpeg_samples(back)
    if len(decoded) != 2 * count:
        return f"the cut decodes to {len(decoded) // 2} samples, not {count}"
    if lossless and decoded != ffmpeg_samples(source)[2 * start:2 * end]:
        return "the cut's samples are not the source's"
    return "exact"


def main():
    folder = tempfile.mkdtemp(prefix="clipwright-rates-")
    failures = 0
    try:
        for rate in RATES:
            source = os.path.join(folder, f"s{rate}.wav")
            subprocess.run(["sox", "-n", "-r", str(rate), "-c", "2", "-b", "16", source, "synth", "2", "sine",
                            f"200-{min(rate // 3, 8000)}", "gain", "-3"], check=True)
            for ext, (rates, lossless) in FORMATS.items():
                if rates is not None and rate not in rates:
                    continue
                result = check(folder, rate, ext, lossless)
                print(f"{rate:>6} {ext:<5} {result}", flush=True)
                failures += result != "exact"
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print(f"{failures} wrong" if failures else "every rate exact in every format")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
