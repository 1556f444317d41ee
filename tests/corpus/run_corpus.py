#!/usr/bin/env python3
"""Reads a corpus of files made by other programs through clipwright-cli.

  run_corpus.py CLI TAG_DUMP [FOLDER]

Each file goes through `info`, `decode`, a cut of its middle second and
`peaks`; counts and samples are compared with FFmpeg's decode of the file,
and an MP3 file's count with mpg123's too. The cut's tags are compared field
by field with the source's as TagLib reads them (TAG_DUMP prints them), but
the fields of the whole source's audio, which a piece must not carry. The table says, for each file and run, "exact",
"refused: REASON" or "OTHER: WHAT". Any OTHER fails the run (exit 1).
"""

import array
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_corpus  # noqa: E402

FFMPEG = ["ffmpeg", "-nostdin", "-v", "error"]


def cli(tool, *arguments):
    done = subprocess.run([tool, *arguments], capture_output=True, text=True, timeout=300)
    return done.returncode, done.stdout, done.stderr


def samples_of(command):
    """Signed 32-bit interleaved samples of what `command` prints."""
    data = subprocess.run(command, capture_output=True, check=True, timeout=300).stdout
    values = array.array("i")
    values.frombytes(data[:len(data) - len(data) % 4])
    return values


def ffmpeg_decode(path):
    return samples_of(FFMPEG + ["-i", path, "-f", "s32le", "-c:a", "pcm_s32le", "-"])


def sox_decode(path):
    return samples_of(["sox", path, "-t", "s32", "-"])


def mpg123_decode(path):
    # mpg123 honours the LAME tag's delay and padding (gapless) and gives 16 bits.
    data = subprocess.run(["mpg123", "-q", "-s", path], capture_output=True, timeout=300).stdout
    wide = array.array("h")
    wide.frombytes(data[:len(data) - len(data) % 2])
    return array.array("i", (v << 16 for v in wide))


def stream_facts(path):
    """Channels, rate and the stream's own length (samples, -1 when unknown) by ffprobe."""
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                          "stream=channels,sample_rate,duration_ts,time_base", "-of", "default=nw=1", path],
                         capture_output=True, text=True).stdout
    facts = dict(line.split("=", 1) for line in out.split())
    rate = int(facts["sample_rate"])
    length = -1
    if facts.get("duration_ts", "N/A") != "N/A" and facts.get("time_base") == f"1/{rate}":
        length = int(facts["duration_ts"])
    return int(facts["channels"]), rate, length


# Fields that describe the whole source's audio: wrong for a piece, left out of it.
WHOLE_SOURCE = re.compile(r"^(REPLAYGAIN_|R128_|LENGTH$|ITUNNORM|ITUNSMPB|COMMENT:ITUN)", re.I)


def tags_of(tag_dump, path):
    """The file's fields as TagLib reads them: {KEY: sorted values}, pictures under "picture"; None when unreadable."""
    done = subprocess.run([tag_dump, path], capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        return None
    fields = {}
    for line in done.stdout.splitlines():
        key, _, value = line.partition("=")
        fields.setdefault(key, []).append(value)
    return {key: sorted(values) for key, values in fields.items()}


def largest_difference(ours, reference, count):
    if ours[:count] == reference[:count]:
        return 0
    return max(abs(a - b) for a, b in zip(ours[:count], reference[:count]))


class Check:
    def __init__(self, entry, tool, tag_dump, folder, work):
        self.entry, self.tool, self.tag_dump, self.work = entry, tool, tag_dump, work
        self.path = os.path.join(folder, entry.name)
        self.results = {}
        self.codec = None

    def say(self, run, result):
        self.results[run] = result

    def refusal(self, code, err):
        """A refusal as it must be: a non-zero exit, one line naming the file and a cause."""
        lines = err.strip().splitlines()
        if code == 0:
            return None
        if len(lines) != 1 or self.entry.name not in lines[0]:
            return f"OTHER: exit {code} with {err.strip()!r}"
        cause = lines[0].split(self.path, 1)[-1].strip(" :")
        if not re.search(r"[a-z]{3,}", lines[0].replace(self.path, "")):
            return f"OTHER: no cause in {lines[0]!r}"
        return "refused: " + lines[0].replace(self.path, os.path.basename(self.path))[len("clipwright-cli: "):]

    def expected_count(self, reference, channels):
        decoded = len(reference) // channels
        if self.entry.count == "fact":
            data = open(self.path, "rb").read()
            at = make_corpus.chunk_offset(data, b"fact")
            told = struct.unpack_from("<I", data, at + 8)[0]
            return told if 0 < told <= decoded else decoded
        if self.entry.count == "edit":
            _, _, length = stream_facts(self.path)
            return length if 0 < length <= decoded else decoded
        return decoded

    def tolerance(self):
        # Lossless: finer than a 24-bit step. Lossy: two 16-bit steps (float decoders rounded).
        return 1 << 8 if self.entry.lossless else 2 << 16

    def run(self):
        e = self.entry
        code, out, err = cli(self.tool, "info", self.path)
        if e.kind == "refused":
            self.say("info", self.refusal(code, err) or f"OTHER: read though it holds nothing: {out!r}")
            return
        if code != 0:
            self.say("info", self.refusal(code, err) if e.kind == "partial" else f"OTHER: {err.strip()}")
            return
        info = dict(line.split(": ", 1) for line in out.strip().splitlines() if ": " in line)
        self.codec = info.get("codec")
        channels, rate, total = int(info["channels"]), int(info["sample_rate"]), int(info["total_samples"])
        # Samples are compared with FFmpeg's decode; an MP3 file's count also
        # with mpg123's, which reads the LAME tag on its own.
        reference = sox_decode(self.path) if e.reference == "sox" else ffmpeg_decode(self.path)
        ref_channels, ref_rate, _ = stream_facts(self.path)
        expected = self.expected_count(reference, ref_channels)
        problems = []
        if e.reference == "mpg123" and e.kind == "valid":
            second = len(mpg123_decode(self.path)) // ref_channels
            if second != expected:
                problems.append(f"FFmpeg decodes {expected} samples, mpg123 {second}")
        if (channels, rate) != (ref_channels, ref_rate):
            problems.append(f"{channels} ch {rate} Hz, the reference {ref_channels} ch {ref_rate} Hz")
        if e.kind == "valid" and total != expected:
            problems.append(f"{total} samples, the reference {expected}")
        for key, value in e.tags.items():
            if info.get(key) != value:
                problems.append(f"{key} {info.get(key)!r}, not {value!r}")
        self.say("info", "OTHER: " + "; ".join(problems) if problems else "exact")
        if problems:
            return
        self.decode(reference, channels, total, expected)
        self.cut(reference, channels, rate, total)
        self.peaks(reference, channels, total)

    def decode(self, reference, channels, total, expected):
        target = os.path.join(self.work, "decoded.wav")
        code, _, err = cli(self.tool, "decode", self.path, target, "--force", "--quiet")
        if code != 0:
            self.say("decode", self.refusal(code, err) if self.entry.kind == "partial" else f"OTHER: {err.strip()}")
            return
        ours = ffmpeg_decode(target)
        if len(ours) != total * channels:
            self.say("decode", f"OTHER: delivered {len(ours) // channels} of the {total} counted")
            return
        if self.entry.kind == "valid" and total != expected:
            self.say("decode", f"OTHER: {total} samples, the reference {expected}")
            return
        count = min(len(ours), len(reference))
        worst = largest_difference(ours, reference, count)
        self.say("decode", "exact" if worst <= self.tolerance() else f"OTHER: differs by {worst / 65536:.1f} (16-bit steps)")

    def cut(self, reference, channels, rate, total):
        if total < rate * 2:
            return
        start_ms, end_ms = 1000, 2000
        start, end = round(start_ms * rate / 1000), round(end_ms * rate / 1000)
        target = os.path.join(self.work, "cut" + os.path.splitext(self.path)[1].replace(".aac", ".m4a"))
        code, _, err = cli(self.tool, "cut", self.path, target, "--start", "1.000", "--end", "2.000", "--force", "--quiet")
        if code != 0:
            self.say("cut", self.refusal(code, err) or f"OTHER: {err.strip()}")
            return
        code, out, err = cli(self.tool, "info", target)
        counted = re.search(r"total_samples: (\d+)", out)
        if code != 0 or not counted:
            self.say("cut", f"OTHER: the cut does not read back: {err.strip()}")
            return
        codec = re.search(r"codec: (\S+)", out)
        wanted = self.entry.writes or self.codec
        if wanted and (not codec or codec.group(1) != wanted):
            self.say("cut", f"OTHER: the cut holds {codec.group(1) if codec else 'another codec'}, not {wanted}")
            return
        out_rate = int(re.search(r"sample_rate: (\d+)", out).group(1))
        if out_rate != rate:
            self.say("cut", f"OTHER: the cut is at {out_rate} Hz, the source at {rate} Hz")
            return
        if int(counted.group(1)) != end - start:
            self.say("cut", f"OTHER: {counted.group(1)} samples, not {end - start}")
            return
        decoded = self.decoded_count(target, codec.group(1) if codec else "", channels)
        if decoded is not None and decoded != end - start:
            self.say("cut", f"OTHER: the cut decodes to {decoded} samples elsewhere, not {end - start}")
            return
        if self.entry.lossless:
            ours = ffmpeg_decode(target)[: (end - start) * channels]
            part = reference[start * channels:end * channels]
            if len(ours) != len(part) or largest_difference(ours, part, len(part)) > self.tolerance():
                self.say("cut", "OTHER: the cut's samples are not the source's")
                return
        problem = self.compare_tags(target)
        self.say("cut", f"OTHER: {problem}" if problem else "exact")

    @staticmethod
    def decoded_count(target, codec, channels):
        """The cut's length as another decoder gives it: mpg123 for MP3 (gapless by the LAME tag),
        FFmpeg for the others, whose MP4 length is the edit list's; None for WMA, whose frames
        FFmpeg delivers whole (ASF cannot say where the audio ends)."""
        if codec == "wmav2":
            return None
        if codec == "mp3":
            return len(mpg123_decode(target)) // channels
        count = len(ffmpeg_decode(target)) // channels
        _, _, length = stream_facts(target)
        return length if target.endswith((".m4a", ".m4b")) and 0 < length <= count else count

    def compare_tags(self, target):
        """What differs between the source's tags and the cut's; None when nothing does."""
        source = tags_of(self.tag_dump, self.path)
        if source is None:
            return None  # TagLib reads no tags here (ADTS): nothing to compare
        cut = tags_of(self.tag_dump, target) or {}
        wanted = {key: values for key, values in source.items() if not WHOLE_SOURCE.match(key)}
        for key, values in wanted.items():
            if cut.get(key) != values:
                return f"tag {key} is {cut.get(key)}, the source's {values}"
        for key in cut:
            # The writing library's mark (FFmpeg's muxers add "Lavf59...") where the source has none.
            if key in ("ENCODER", "ENCODEDBY", "ENCODING") and key not in source:
                continue
            if key not in wanted and key not in self.entry.extra_fields:
                return f"tag {key} {cut[key]} is not the source's"
        return None

    def peaks(self, reference, channels, total):
        code, out, err = cli(self.tool, "peaks", self.path, "--width", "16", "--exact")
        if code != 0:
            self.say("peaks", self.refusal(code, err) if self.entry.kind == "partial" else f"OTHER: {err.strip()}")
            return
        rows = [list(map(int, line.split())) for line in out.strip().splitlines()]
        if len(rows) != 16:
            self.say("peaks", f"OTHER: {len(rows)} columns of 16")
            return
        # The highest peak of the first channel against the reference's, in 16-bit steps.
        highest = max(row[2] for row in rows)
        counted = reference[: total * channels]
        wanted = max(counted[0::channels]) >> 16 if counted else 0
        self.say("peaks", "exact" if abs(highest - wanted) <= 2 else f"OTHER: highest peak {highest}, the reference {wanted}")


def main():
    tool, tag_dump = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    folder = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="corpus-")
    entries = make_corpus.make_corpus(folder)
    work = tempfile.mkdtemp(prefix="corpus-runs-")
    only = os.environ.get("CORPUS_ONLY")
    others, runs = 0, 0
    print(f"{'file':32} {'info':8} {'decode':8} {'cut':8} {'peaks':8}")
    details = []
    for entry in entries:
        if only and only not in entry.name:
            continue
        check = Check(entry, tool, tag_dump, folder, work)
        try:
            check.run()
        except (subprocess.SubprocessError, ValueError, KeyError) as failure:
            check.say("runner", f"OTHER: {failure}")
        row = []
        for run in ("info", "decode", "cut", "peaks"):
            result = check.results.get(run, "-")
            row.append("exact" if result == "exact" else "refused" if result.startswith("refused") else
                       "-" if result == "-" else "OTHER")
        for run, result in check.results.items():
            runs += 1
            if result.startswith("OTHER"):
                others += 1
            if result != "exact":
                details.append(f"  {entry.name} {run}: {result}")
        print(f"{entry.name:32} {row[0]:8} {row[1]:8} {row[2]:8} {row[3]:8}")
    print("\n".join(details))
    print(f"{len(entries)} files, {runs} runs, {others} other")
    shutil.rmtree(work, ignore_errors=True)
    if len(sys.argv) <= 3:
        shutil.rmtree(folder, ignore_errors=True)
    return 1 if others else 0


if __name__ == "__main__":
    sys.exit(main())
