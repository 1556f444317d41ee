#!/usr/bin/env bash
# Builds and runs the file reader fuzzers with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer.
#   fuzz/build.sh [seconds]     (default 60 for each fuzzer)
# Needs clang; the normal build and CI do not.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null || { echo "clang++ is not installed"; exit 1; }

out=build-fuzz
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I.)
mkdir -p "$out/tags-corpus" "$out/wav-corpus"

clang++ "${flags[@]}" fuzz/tags_fuzzer.cpp audio/tags/*.cpp platform/Utf.cpp -o "$out/tags_fuzzer"
clang++ "${flags[@]}" $(pkg-config --cflags Qt6Core) -fPIC fuzz/wav_fuzzer.cpp \
  audio/wave/*.cpp audio/classes/*.cpp audio/tags/*.cpp platform/msacm.cpp platform/Ffmpeg.cpp platform/SharedLibrary.cpp platform/Utf.cpp \
  $(pkg-config --libs Qt6Core) -ldl -o "$out/wav_fuzzer"

clang++ "${flags[@]}" $(pkg-config --cflags Qt6Core) -fPIC fuzz/media_fuzzer.cpp \
  audio/winmedia/*.cpp audio/classes/*.cpp audio/tags/*.cpp platform/wmv*.cpp platform/mp3_info.cpp platform/Id3v2Header.cpp \
  platform/msacm.cpp platform/Ffmpeg.cpp platform/SharedLibrary.cpp platform/BlockWorker.cpp platform/Utf.cpp \
  $(pkg-config --libs Qt6Core) -ldl -o "$out/media_fuzzer"
mkdir -p "$out/media-corpus"
clang++ "${flags[@]}" $(pkg-config --cflags Qt6Core) -fPIC fuzz/mp3cut_fuzzer.cpp audio/mp3cut/InfoFrame.cpp \
  audio/mp3cut/LosslessPlan.cpp audio/mp3cut/Mp3Stream.cpp audio/classes/FileStream.cpp \
  audio/mpeg/FileWindow.cpp platform/mp3_info.cpp platform/Id3v2Header.cpp $(pkg-config --libs Qt6Core) -o "$out/mp3cut_fuzzer"
# Seeds: a small ID3v2.3 tag, an ID3v1 record, and WAV headers of several kinds.
printf 'ID3\x03\x00\x00\x00\x00\x00\x15TIT2\x00\x00\x00\x03\x00\x00\x00ab' > "$out/tags-corpus/v23"
{ printf 'xxxx'; printf 'TAG'; head -c 125 /dev/zero; } > "$out/tags-corpus/v1"
printf 'RIFF\x00\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\x08\x00\x00\x00\x01\x00\x02\x00\x03\x00\x04\x00' > "$out/wav-corpus/pcm"
{ printf 'RIFF\x00\x00\x00\x00WAVEfmt \x14\x00\x00\x00\x11\x00\x01\x00\x40\x1f\x00\x00\x00\x00\x00\x00\x40\x00\x04\x00\x02\x00\x79\x00fact\x04\x00\x00\x00\x79\x00\x00\x00data\x40\x00\x00\x00'; head -c 64 /dev/urandom; } > "$out/wav-corpus/ima"
{ printf 'RIFF\x00\x00\x00\x00WAVEfmt \x32\x00\x00\x00\x02\x00\x01\x00\x40\x1f\x00\x00\x00\x00\x00\x00\x40\x00\x04\x00\x20\x00\x74\x00\x07\x00'; printf '\x00\x01\x00\x00\x00\x02\x00\xff\x00\x00\x00\x00\xc0\x00\x40\x00\xf0\x00\x00\x00\xcc\x01\x30\xff\x88\x01\x18\xff'; printf 'fact\x04\x00\x00\x00\x74\x00\x00\x00data\x40\x00\x00\x00'; head -c 64 /dev/urandom; } > "$out/wav-corpus/msadpcm"

seconds="${1:-60}"
[ -n "$(ls -A "$out/media-corpus")" ] || python3 - "$out/media-corpus" <<'PY'
import struct, sys
# An MPEG-1 layer III frame header followed by silence, a few times; and an ASF header GUID.
frame = bytes([0xFF, 0xFB, 0x90, 0xC4]) + bytes(413)
open(sys.argv[1] + "/mp3", "wb").write(b"ID3\x03\x00\x00\x00\x00\x00\x00" + frame * 6)
asf = bytes.fromhex("3026B2758E66CF11A6D900AA0062CE6C")
open(sys.argv[1] + "/asf", "wb").write(asf + struct.pack("<QIBB", 30, 0, 1, 2))
PY
"$out/tags_fuzzer" -max_total_time="$seconds" -max_len=4096 "$out/tags-corpus"
"$out/wav_fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=10 "$out/wav-corpus"
"$out/media_fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 "$out/media-corpus"
"$out/mp3cut_fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 "$out/media-corpus"
