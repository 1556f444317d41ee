"""Makes a corpus of the files people bring, with every encoder Debian ships.

Each entry is a file written by another program (lame, FFmpeg's encoders and
muxers, sox, flac, oggenc, opusenc, kid3-cli) or a damaged variant of one made
by a small patch, with what a reader must make of it:

  valid    read whole: counts and samples as the reference decoder's
  partial  damaged, but what is intact reads (a file cut short)
  refused  nothing to read: refused, naming the file and the cause
"""

import os
import shutil
import struct
import subprocess
from dataclasses import dataclass, field


@dataclass
class Entry:
    name: str
    kind: str = "valid"  # valid, partial, refused
    reference: str = "ffmpeg"  # whose decode the samples are compared with: ffmpeg, sox; mpg123: ffmpeg and mpg123's count
    # How our count relates to the reference decoder's:
    #   exact     the same samples
    #   edit      an MP4 whose edit list ends before the last frame's padding,
    #             which FFmpeg's own decoder keeps: ours is the edit list's
    #             length, a prefix of FFmpeg's samples
    #   fact      ADPCM in WAV whose last block is filled up: ours is the
    #             "fact" chunk's count, a prefix of FFmpeg's samples
    count: str = "exact"
    lossless: bool = True  # samples compared exactly; otherwise within 1 LSB
    note: str = ""
    writes: str = ""  # the codec a cut is written in, when not the source's
    tags: dict = field(default_factory=dict)
    # Fields a cut may hold that TagLib does not read in the source: a later
    # ID3v2 tag's, an INFO list's beside an "id3 " chunk, FFmpeg's WMA "date".
    extra_fields: tuple = ()


def run(*command, cwd=None):
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def ffmpeg(*arguments, cwd=None):
    run("ffmpeg", "-nostdin", "-v", "error", "-y", *arguments, cwd=cwd)


def sox_source(path, rate, channels, seconds, bits=16):
    """Music-like test audio: pink noise under a tone whose level comes and goes."""
    run("sox", "-R", "-n", "-r", str(rate), "-c", str(channels), "-b", str(bits), path,
        "synth", str(seconds), "pinknoise", "synth", str(seconds), "sine", "mix", "440",
        "tremolo", "3", "80", "vol", "0.5")


def patch(path, offset, data):
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(data)


def chunk_offset(data, name, start=12):
    """Offset of a RIFF chunk's header."""
    at = start
    while at + 8 <= len(data):
        size = struct.unpack_from("<I", data, at + 4)[0]
        if data[at:at + 4] == name:
            return at
        at += 8 + size + (size & 1)
    raise ValueError(name)


def flac_audio_start(data):
    at = 4
    while True:
        header = data[at]
        size = int.from_bytes(data[at + 1:at + 4], "big")
        at += 4 + size
        if header & 0x80:
            return at


def mp4_boxes(data, start, end):
    at = start
    while at + 8 <= end:
        size = struct.unpack_from(">I", data, at)[0]
        yield data[at + 4:at + 8], at, size
        at += size


def mp4_find(data, path, start=0, end=None):
    end = len(data) if end is None else end
    for name, at, size in mp4_boxes(data, start, end):
        if name == path[0]:
            if len(path) == 1:
                return at, size
            inner = at + 8 + (8 if path[1] == b"mp4a" else 0)
            if name == b"stsd":
                inner = at + 16
            return mp4_find(data, path[1:], inner, at + size)
    raise ValueError(path)


def make_mp3(d, entries):
    # MPEG 1, 2 and 2.5, their corner bit rates, mono and stereo, CBR and VBR.
    rates = {8000: (8, 64), 11025: (8, 64), 12000: (16, 64), 16000: (8, 160), 22050: (32, 160),
             24000: (64, 160), 32000: (32, 320), 44100: (32, 128, 320), 48000: (64, 320)}
    for rate, bitrates in rates.items():
        for channels in (1, 2):
            source = os.path.join(d, f"src_{rate}_{channels}.wav")
            sox_source(source, rate, channels, 3)
            for kbps in bitrates:
                name = f"lame_{rate}_{'m' if channels == 1 else 's'}_{kbps}.mp3"
                run("lame", "--quiet", "-b", str(kbps), source, os.path.join(d, name))
                entries.append(Entry(name, reference="mpg123", lossless=False))
    source = os.path.join(d, "src_44100_2.wav")
    run("lame", "--quiet", "-V", "2", "--tt", "Tïtle", "--ta", "Ärtist", source, os.path.join(d, "lame_vbr2.mp3"))
    entries.append(Entry("lame_vbr2.mp3", reference="mpg123", lossless=False,
                         tags={"title": "Tïtle", "artist": "Ärtist"}))
    run("lame", "--quiet", "--abr", "96", "-m", "j", source, os.path.join(d, "lame_abr96.mp3"))
    entries.append(Entry("lame_abr96.mp3", reference="mpg123", lossless=False))
    run("lame", "--quiet", "-t", "-b", "128", source, os.path.join(d, "lame_noinfo.mp3"))
    entries.append(Entry("lame_noinfo.mp3", reference="mpg123", lossless=False, note="no Xing/LAME frame"))
    ffmpeg("-i", source, "-c:a", "libmp3lame", "-b:a", "192k", "-metadata", "title=From FFmpeg",
           os.path.join(d, "ffmpeg_lame.mp3"))
    entries.append(Entry("ffmpeg_lame.mp3", reference="mpg123", lossless=False, tags={"title": "From FFmpeg"}))
    # Layer II, as FFmpeg writes it, in a file named .mp3: read as what it
    # holds; a cut of it is written as layer III, the one MP3 writer.
    ffmpeg("-i", source, "-c:a", "mp2", "-b:a", "192k", "-f", "mp2", os.path.join(d, "ffmpeg_layer2.mp3"))
    entries.append(Entry("ffmpeg_layer2.mp3", reference="mpg123", lossless=False, writes="mp3"))
    shutil.copy(os.path.join(d, "lame_44100_s_128.mp3"), os.path.join(d, "kid3_tagged.mp3"))
    run("kid3-cli", "-c", "set title 'Ωmega'", "-c", "set artist 'Kid3'", os.path.join(d, "kid3_tagged.mp3"))
    entries.append(Entry("kid3_tagged.mp3", reference="mpg123", lossless=False,
                         tags={"title": "Ωmega", "artist": "Kid3"}))
    # Damage: cut short, and a file with no frame at all.
    data = open(os.path.join(d, "lame_44100_s_128.mp3"), "rb").read()
    open(os.path.join(d, "mp3_cut_short.mp3"), "wb").write(data[:len(data) // 2])
    entries.append(Entry("mp3_cut_short.mp3", kind="partial", reference="mpg123", lossless=False))
    open(os.path.join(d, "mp3_no_frames.mp3"), "wb").write(b"ID3\x03\x00\x00\x00\x00\x00\x0a" + bytes(10) + bytes(4096))
    entries.append(Entry("mp3_no_frames.mp3", kind="refused"))


def make_wav(d, entries):
    source = os.path.join(d, "src_44100_2.wav")
    for name, options in [("sox_u8.wav", ["-b", "8", "-e", "unsigned-integer"]),
                          ("sox_s24.wav", ["-b", "24"]),
                          ("sox_s32.wav", ["-b", "32", "-e", "signed-integer"]),
                          ("sox_f32.wav", ["-b", "32", "-e", "floating-point"]),
                          ("sox_f64.wav", ["-b", "64", "-e", "floating-point"]),
                          ("sox_alaw.wav", ["-e", "a-law"]),
                          ("sox_ulaw.wav", ["-e", "u-law"]),
                          ("sox_ima.wav", ["-e", "ima-adpcm"]),
                          ("sox_ms.wav", ["-e", "ms-adpcm"])]:
        run("sox", source, *options, os.path.join(d, name))
        # FFmpeg expands IMA ADPCM by a formula that rounds otherwise than
        # the IMA reference algorithm, which sox follows.
        entries.append(Entry(name, count="fact" if "adpcm" in options[-1] else "exact",
                             reference="sox" if "ima" in options[-1] else "ffmpeg"))
    for name, codec in [("ffmpeg_ima.wav", "adpcm_ima_wav"), ("ffmpeg_ms.wav", "adpcm_ms")]:
        ffmpeg("-i", source, "-c:a", codec, os.path.join(d, name))
        entries.append(Entry(name, count="fact", reference="sox" if "ima" in codec else "ffmpeg"))
    sox_source(os.path.join(d, "src_48000_6.wav"), 48000, 6, 2, bits=24)
    entries.append(Entry("src_48000_6.wav", note="24-bit extensible, six channels"))
    for name, options in [("ffmpeg_s16.wav", ["-c:a", "pcm_s16le"]),
                          ("ffmpeg_alaw.wav", ["-c:a", "pcm_alaw"]),
                          ("ffmpeg_mulaw.wav", ["-c:a", "pcm_mulaw"]),
                          ("ffmpeg_f32_ext.wav", ["-c:a", "pcm_f32le", "-ac", "4"]),
                          ("ffmpeg_rf64.wav", ["-c:a", "pcm_s16le", "-rf64", "always"]),
                          ("ffmpeg_rf64_s24.wav", ["-c:a", "pcm_s24le", "-rf64", "always"]),
                          ("ffmpeg_info.wav", ["-c:a", "pcm_s16le", "-metadata", "title=Listed", "-metadata", "artist=Someone"])]:
        ffmpeg("-i", source, *options, os.path.join(d, name))
        entries.append(Entry(name))
    # BW64 is RF64 under another name.
    data = bytearray(open(os.path.join(d, "ffmpeg_rf64.wav"), "rb").read())
    data[0:4] = b"BW64"
    open(os.path.join(d, "bw64.wav"), "wb").write(data)
    entries.append(Entry("bw64.wav"))
    # What a recorder leaves when it is killed: the sizes never filled in.
    for name, size in [("wav_size_0.wav", 0), ("wav_size_ffffffff.wav", 0xFFFFFFFF)]:
        shutil.copy(os.path.join(d, "ffmpeg_s16.wav"), os.path.join(d, name))
        data = open(os.path.join(d, name), "rb").read()
        at = chunk_offset(data, b"data")
        patch(os.path.join(d, name), at + 4, struct.pack("<I", size))
        patch(os.path.join(d, name), 4, struct.pack("<I", size))
        entries.append(Entry(name, note="unfinished header: read to the end"))
    data = open(os.path.join(d, "ffmpeg_s16.wav"), "rb").read()
    open(os.path.join(d, "wav_cut_short.wav"), "wb").write(data[:len(data) // 2 + 1])
    entries.append(Entry("wav_cut_short.wav", kind="partial"))
    # A zero-size chunk before the format.
    at = 12
    open(os.path.join(d, "wav_empty_chunk.wav"), "wb").write(data[:at] + b"junk" + bytes(4) + data[at:])
    entries.append(Entry("wav_empty_chunk.wav"))
    open(os.path.join(d, "wav_no_data.wav"), "wb").write(data[:chunk_offset(data, b"data")])
    entries.append(Entry("wav_no_data.wav", kind="refused"))


def make_aiff(d, entries):
    source = os.path.join(d, "src_44100_2.wav")
    # AIFC's other encodings are written as plain AIFF PCM that holds their
    # samples: 8-bit, A-law and little-endian as 16 bits, float as 24 bits.
    for name, options, writes in [("sox_s16.aiff", [], ""), ("sox_s24.aif", ["-b", "24"], ""),
                                  ("sox_s8.aiff", ["-b", "8"], "pcm_s16be"), ("sox_none.aifc", [], "")]:
        run("sox", source, *options, os.path.join(d, name))
        entries.append(Entry(name, writes=writes))
    for name, options, writes in [("ffmpeg_s16.aiff", ["-c:a", "pcm_s16be"], ""),
                                  ("ffmpeg_s24.aiff", ["-c:a", "pcm_s24be"], ""),
                                  ("ffmpeg_f32.aifc", ["-c:a", "pcm_f32be", "-f", "aiff"], "pcm_s24be"),
                                  ("ffmpeg_alaw.aifc", ["-c:a", "pcm_alaw", "-f", "aiff"], "pcm_s16be"),
                                  ("ffmpeg_sowt.aifc", ["-c:a", "pcm_s16le", "-f", "aiff"], "pcm_s16be")]:
        ffmpeg("-i", source, *options, os.path.join(d, name))
        entries.append(Entry(name, writes=writes))


def make_flac(d, entries):
    source = os.path.join(d, "src_44100_2.wav")
    for name, options in [("flac_default.flac", []), ("flac_padding.flac", ["-P", "8192"]),
                          ("flac_best.flac", ["-8", "-b", "4608"]), ("flac_small_blocks.flac", ["-b", "576"]),
                          ("flac_noseek.flac", ["--no-seektable"])]:
        run("flac", "-s", "-f", *options, source, "-o", os.path.join(d, name))
        entries.append(Entry(name))
    run("flac", "-s", "-f", os.path.join(d, "src_48000_6.wav"), "-o", os.path.join(d, "flac_24_6ch.flac"))
    entries.append(Entry("flac_24_6ch.flac"))
    ffmpeg("-i", source, "-c:a", "flac", "-metadata", "title=FFmpeg FLAC", os.path.join(d, "ffmpeg.flac"))
    entries.append(Entry("ffmpeg.flac", tags={"title": "FFmpeg FLAC"}))
    data = open(os.path.join(d, "flac_default.flac"), "rb").read()
    audio = flac_audio_start(data)
    # An application block: the last block's flag moves to it.
    blocks = bytearray(data[4:audio])
    at = 0
    while True:
        size = int.from_bytes(blocks[at + 1:at + 4], "big")
        if blocks[at] & 0x80:
            blocks[at] &= 0x7F
            break
        at += 4 + size
    application = b"test" + b"application data"
    blocks += bytes([0x82]) + len(application).to_bytes(3, "big") + application
    open(os.path.join(d, "flac_application.flac"), "wb").write(b"fLaC" + blocks + data[audio:])
    entries.append(Entry("flac_application.flac"))
    # Bytes that are no frame between the metadata and the first frame.
    open(os.path.join(d, "flac_junk.flac"), "wb").write(data[:audio] + bytes(range(94)) + data[audio:])
    entries.append(Entry("flac_junk.flac", note="94 bytes of junk before the first frame"))
    # STREAMINFO's smallest block size larger than the real blocks.
    small = bytearray(open(os.path.join(d, "flac_small_blocks.flac"), "rb").read())
    struct.pack_into(">HH", small, 8, 4608, 4608)
    open(os.path.join(d, "flac_minblock_lie.flac"), "wb").write(small)
    entries.append(Entry("flac_minblock_lie.flac", note="STREAMINFO block sizes larger than the blocks"))
    open(os.path.join(d, "flac_cut_short.flac"), "wb").write(data[:len(data) // 2])
    entries.append(Entry("flac_cut_short.flac", kind="partial"))


def make_ogg(d, entries):
    source = os.path.join(d, "src_44100_2.wav")
    run("oggenc", "-Q", "-q", "3", "-t", "Oggenc", source, "-o", os.path.join(d, "oggenc.ogg"))
    entries.append(Entry("oggenc.ogg", lossless=False, tags={"title": "Oggenc"}))
    # A comment header over several pages.
    long_comment = "x" * 70000
    run("oggenc", "-Q", "-q", "1", "-c", "COMMENT=" + long_comment, os.path.join(d, "src_22050_1.wav"),
        "-o", os.path.join(d, "oggenc_big_comment.ogg"))
    entries.append(Entry("oggenc_big_comment.ogg", lossless=False, note="comment header over several pages"))
    ffmpeg("-i", source, "-c:a", "libvorbis", "-q:a", "4", os.path.join(d, "ffmpeg_vorbis.oga"))
    entries.append(Entry("ffmpeg_vorbis.oga", lossless=False))
    run("opusenc", "--quiet", "--bitrate", "96", "--title", "Opusenc", source, os.path.join(d, "opusenc.opus"))
    entries.append(Entry("opusenc.opus", lossless=False, tags={"title": "Opusenc"}))
    run("opusenc", "--quiet", "--bitrate", "24", os.path.join(d, "src_22050_1.wav"), os.path.join(d, "opusenc_22k.opus"))
    entries.append(Entry("opusenc_22k.opus", lossless=False))
    ffmpeg("-i", source, "-c:a", "libopus", "-b:a", "64k", os.path.join(d, "opus_in.ogg"))
    entries.append(Entry("opus_in.ogg", lossless=False, note="Opus in .ogg"))
    ffmpeg("-i", source, "-c:a", "flac", os.path.join(d, "flac_in.oga"))
    entries.append(Entry("flac_in.oga", note="FLAC in Ogg"))
    run("flac", "-s", "-f", "--ogg", source, "-o", os.path.join(d, "flac_tool.oga"))
    entries.append(Entry("flac_tool.oga", note="FLAC in Ogg by flac"))
    data = open(os.path.join(d, "oggenc.ogg"), "rb").read()
    open(os.path.join(d, "ogg_cut_short.ogg"), "wb").write(data[:len(data) // 2])
    entries.append(Entry("ogg_cut_short.ogg", kind="partial", lossless=False))


def make_mp4(d, entries):
    source = os.path.join(d, "src_44100_2.wav")
    ffmpeg("-i", source, "-c:a", "aac", "-b:a", "128k", "-metadata", "title=AAC", os.path.join(d, "aac.m4a"))
    entries.append(Entry("aac.m4a", count="edit", lossless=False, tags={"title": "AAC"}))
    ffmpeg("-i", source, "-c:a", "alac", os.path.join(d, "alac.m4a"))
    entries.append(Entry("alac.m4a", count="edit"))
    ffmpeg("-i", os.path.join(d, "src_48000_6.wav"), "-c:a", "alac", os.path.join(d, "alac_24_6ch.m4a"))
    entries.append(Entry("alac_24_6ch.m4a", count="edit"))
    ffmpeg("-i", source, "-c:a", "ac3", "-b:a", "192k", "-f", "mp4", os.path.join(d, "ac3.m4a"))
    entries.append(Entry("ac3.m4a", count="edit", lossless=False))
    ffmpeg("-i", source, "-c:a", "eac3", "-b:a", "192k", "-f", "mp4", os.path.join(d, "eac3.m4a"))
    entries.append(Entry("eac3.m4a", count="edit", lossless=False))
    ffmpeg("-i", source, "-c:a", "flac", "-strict", "-2", "-f", "mp4", os.path.join(d, "flac_in.m4a"))
    entries.append(Entry("flac_in.m4a", count="edit"))
    ffmpeg("-i", source, "-c:a", "libopus", "-strict", "-2", "-f", "mp4", os.path.join(d, "opus_in.m4a"))
    entries.append(Entry("opus_in.m4a", count="edit", lossless=False))
    chapters = os.path.join(d, "chapters.txt")
    with open(chapters, "w") as f:
        f.write(";FFMETADATA1\ntitle=Book\n")
        for i, (start, end) in enumerate([(0, 1000), (1000, 3000)]):
            f.write(f"[CHAPTER]\nTIMEBASE=1/1000\nSTART={start}\nEND={end}\ntitle=Chapter {i + 1}\n")
    ffmpeg("-i", source, "-i", chapters, "-map_metadata", "1", "-map_chapters", "1", "-c:a", "aac",
           "-f", "ipod", os.path.join(d, "book.m4b"))
    entries.append(Entry("book.m4b", count="edit", lossless=False, note="audiobook with chapters"))
    ffmpeg("-i", source, "-t", "2.5", "-c:a", "aac", "-f", "adts", os.path.join(d, "adts.aac"))
    entries.append(Entry("adts.aac", lossless=False))
    # A tone: its bit rate is far from what FFmpeg's length estimate assumes.
    run("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", os.path.join(d, "tone.wav"), "synth", "10", "sine", "440", "vol", "0.5")
    ffmpeg("-i", os.path.join(d, "tone.wav"), "-c:a", "aac", "-f", "adts", os.path.join(d, "adts_tone.aac"))
    entries.append(Entry("adts_tone.aac", lossless=False, note="no length but the stream's"))
    # The last time-to-sample entry shorter than a frame, as older encoders write it.
    ffmpeg("-i", source, "-c:a", "aac", "-b:a", "128k", os.path.join(d, "stts_short.m4a"))
    data = bytearray(open(os.path.join(d, "stts_short.m4a"), "rb").read())
    at, size = mp4_find(data, [b"moov", b"trak", b"mdia", b"minf", b"stbl", b"stts"])
    count = struct.unpack_from(">I", data, at + 12)[0]
    last = at + 16 + (count - 1) * 8
    samples, delta = struct.unpack_from(">II", data, last)
    if count == 1:  # split the one entry so that the last sample has its own
        raise ValueError("stts has one entry")
    struct.pack_into(">I", data, last + 4, 704)
    open(os.path.join(d, "stts_short.m4a"), "wb").write(data)
    entries.append(Entry("stts_short.m4a", count="edit", lossless=False, note="last stts entry of 704 samples"))
    # The same without an edit list, as encoders before gapless playback wrote it.
    at, size = mp4_find(data, [b"moov", b"trak", b"edts"])
    data[at + 4:at + 8] = b"free"
    open(os.path.join(d, "stts_short_no_edit.m4a"), "wb").write(data)
    entries.append(Entry("stts_short_no_edit.m4a", count="edit", lossless=False, note="no edit list"))
    data = open(os.path.join(d, "aac.m4a"), "rb").read()
    open(os.path.join(d, "m4a_cut_short.m4a"), "wb").write(data[:len(data) * 2 // 3])
    entries.append(Entry("m4a_cut_short.m4a", kind="refused"))


def make_wma(d, entries):
    source = os.path.join(d, "src_44100_2.wav")
    # The WMA writer writes WMA 2, the later of the two versions.
    for name, options in [("wmav1.wma", ["-c:a", "wmav1"]), ("wmav2_128.wma", ["-c:a", "wmav2", "-b:a", "128k"]),
                          ("wmav2_48.wma", ["-c:a", "wmav2", "-b:a", "48k"]),
                          ("wmav2_mono.wma", ["-c:a", "wmav2", "-ac", "1", "-b:a", "32k"])]:
        ffmpeg("-i", source, *options, "-metadata", "title=Windows Media", os.path.join(d, name))
        entries.append(Entry(name, lossless=False, tags={"title": "Windows Media"}, writes="wmav2"))
    # Play durations a few frames off what the packets hold, as other encoders leave them.
    guid = bytes([0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65])
    for name, shift in [("wma_duration_short.wma", -500000), ("wma_duration_long.wma", 300000)]:
        data = bytearray(open(os.path.join(d, "wmav2_128.wma"), "rb").read())
        at = data.index(guid)
        for field in (64, 72):  # play and send duration, 100 ns units
            struct.pack_into("<Q", data, at + field, struct.unpack_from("<Q", data, at + field)[0] + shift)
        open(os.path.join(d, name), "wb").write(data)
        entries.append(Entry(name, lossless=False, note="ASF play duration off by a few frames"))


def prepend_id3v2(path, frames):
    """Puts a new ID3v2.4 tag of UTF-8 text frames in front of the file's, as some taggers do."""
    body = b""
    for frame_id, text in frames:
        data = b"\x03" + text.encode()
        body += frame_id.encode() + bytes([0, 0, len(data) >> 7, len(data) & 0x7F]) + b"\0\0" + data
    size = len(body)
    header = b"ID3\x04\x00\x00" + bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    data = open(path, "rb").read()
    open(path, "wb").write(header + body + data)


def make_tagged(d, entries):
    """Files tagged by the tools people use, with the fields taggers add: every one is carried into a cut."""
    source = os.path.join(d, "src_44100_2.wav")
    cover = os.path.join(d, "cover.jpg")
    ffmpeg("-f", "lavfi", "-i", "color=blue:s=32x32", "-frames:v", "1", cover)
    common = ["-metadata", "title=Tagged", "-metadata", "artist=Ann", "-metadata", "album=Live",
              "-metadata", "album_artist=Band", "-metadata", "composer=Carl", "-metadata", "disc=2/3",
              "-metadata", "track=4/12", "-metadata", "genre=Jazz", "-metadata", "date=1999"]
    ffmpeg("-i", source, *common, os.path.join(d, "tagged.flac"))
    run("metaflac", "--set-tag=ARTIST=Bob", "--set-tag=MUSICBRAINZ_TRACKID=9f0e-11", "--set-tag=LYRICS=la la",
        "--set-tag=REPLAYGAIN_TRACK_GAIN=-3.1 dB", "--set-tag=ISRC=GBAAA0000001", f"--import-picture-from={cover}",
        os.path.join(d, "tagged.flac"))
    entries.append(Entry("tagged.flac", tags={"title": "Tagged"}))
    run("lame", "--quiet", "-b", "160", "--tt", "Tagged", "--ta", "Ann", "--tl", "Live", "--ty", "1999", "--tn", "4/12",
        "--tg", "Jazz", "--tc", "Nice", "--ti", cover, "--tv", "TPE2=Band", "--tv", "TPOS=2/3", "--tv", "TCOM=Carl",
        "--tv", "TLEN=3000", "--tv", "TXXX=MOOD=calm", "--tv", "TSRC=GBAAA0000001", source,
        os.path.join(d, "lame_tagged.mp3"))
    entries.append(Entry("lame_tagged.mp3", reference="mpg123", lossless=False, tags={"title": "Tagged"}))
    shutil.copy(os.path.join(d, "lame_tagged.mp3"), os.path.join(d, "two_id3v2.mp3"))
    prepend_id3v2(os.path.join(d, "two_id3v2.mp3"), [("TIT2", "Retitled"), ("TPUB", "Label")])
    entries.append(Entry("two_id3v2.mp3", reference="mpg123", lossless=False, tags={"title": "Retitled"},
                         extra_fields=("ALBUM", "ALBUMARTIST", "ARTIST", "COMMENT", "COMPOSER", "DATE", "DISCNUMBER",
                                       "ENCODING", "GENRE", "ISRC", "MOOD", "TRACKNUMBER", "picture")))
    run("oggenc", "-Q", "-q", "3", "-t", "Tagged", "-a", "Ann", "-a", "Bob", "-l", "Live", "-N", "4", "-G", "Jazz",
        "-c", "ALBUMARTIST=Band", "-c", "DISCNUMBER=2", "-c", "REPLAYGAIN_TRACK_GAIN=-2 dB", "-o",
        os.path.join(d, "oggenc_tagged.ogg"), source)
    entries.append(Entry("oggenc_tagged.ogg", lossless=False, tags={"title": "Tagged"}))
    run("opusenc", "--quiet", "--title", "Tagged", "--artist", "Ann", "--album", "Live", "--comment", "ALBUMARTIST=Band",
        "--comment", "R128_TRACK_GAIN=-512", "--picture", cover, source, os.path.join(d, "opusenc_tagged.opus"))
    entries.append(Entry("opusenc_tagged.opus", lossless=False, tags={"title": "Tagged"}))
    ffmpeg("-i", source, "-c:a", "aac", *common, os.path.join(d, "tagged.m4a"))
    run("kid3-cli", "-c", "set 'Catalog Number' X12", "-c", f"set picture:'{cover}' 'Cover'", os.path.join(d, "tagged.m4a"))
    entries.append(Entry("tagged.m4a", count="edit", lossless=False, tags={"title": "Tagged"}))
    ffmpeg("-i", source, *common, os.path.join(d, "tagged.wav"))
    run("kid3-cli", "-c", "set albumartist Band", "-c", "set 'Catalog Number' X12", os.path.join(d, "tagged.wav"))
    entries.append(Entry("tagged.wav", tags={"title": "Tagged"},
                         extra_fields=("ALBUM", "ARTIST", "DATE", "GENRE", "TITLE", "TRACKNUMBER", "ENCODEDBY",
                                       "ENCODING", "COMPOSER", "COMMENT", "DISCNUMBER")))
    ffmpeg("-i", source, *common, os.path.join(d, "tagged.wma"))
    entries.append(Entry("tagged.wma", lossless=False, tags={"title": "Tagged"}, extra_fields=("DATE",)))
    ffmpeg("-i", source, *common, "-write_id3v2", "1", os.path.join(d, "tagged.aiff"))
    entries.append(Entry("tagged.aiff", tags={"title": "Tagged"}))


def make_corpus(d):
    os.makedirs(d, exist_ok=True)
    entries = []
    sox_source(os.path.join(d, "src_22050_1.wav"), 22050, 1, 3)
    make_mp3(d, entries)
    make_wav(d, entries)
    make_aiff(d, entries)
    make_flac(d, entries)
    make_ogg(d, entries)
    make_mp4(d, entries)
    make_wma(d, entries)
    make_tagged(d, entries)
    return entries
