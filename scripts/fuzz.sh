#!/usr/bin/env bash
# Builds the file reader fuzzers (clang's libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a while on the
# seeds in fuzz/seeds/, copied so that the repository's seeds stay as they are.
# The codec fuzzer's seeds are made here by FFmpeg's encoders and muxers.
#   scripts/fuzz.sh [seconds]     (30 for each fuzzer unless given)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
fuzzers=(tags wav media mp3cut codec cue)
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=fuzzer -DBUILD_TESTS=OFF \
  -DBUILD_BENCHMARKS=OFF -DWERROR="${WERROR:-OFF}" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${fuzzers[@]/%/_fuzzer}"
# Small files of every codec format, each prefixed with the byte that picks
# its tag container (FLAC 0, Ogg Vorbis 1, Opus 2, MP4 3, AIFF 4).
make_codec_seeds() {
  local folder=$1 made
  made=$(mktemp -d)
  ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=0.2:sample_rate=16000" -ac 1 "$made/in.wav"
  local seed
  for seed in "0 flac flac" "1 ogg libvorbis" "2 opus libopus" "3 m4a aac" "3 aac aac" "4 aiff pcm_s16be" \
              "1 oga flac" "3 m4a alac"; do
    set -- $seed
    ffmpeg -nostdin -v error -y -i "$made/in.wav" -c:a "$3" "$made/seed.$2"
    { printf "\\x0$1"; cat "$made/seed.$2"; } >"$folder/$3.$2"
  done
  rm -r "$made"
}

for name in "${fuzzers[@]}"; do
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  if [ "$name" = codec ]; then
    make_codec_seeds "$corpus"
  else
    cp fuzz/seeds/"$name"/* "$corpus"/
  fi
  log=build-fuzz/$name.log
  echo "== ${name}_fuzzer, ${seconds} s"
  # libcue keeps what it had read of a sheet it gives up on: not ours to free.
  if ! LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp print_suppressions=0" build-fuzz/fuzz/"${name}"_fuzzer -max_total_time="$seconds" -max_len=16384 -timeout=10 "$corpus" >"$log" 2>&1; then
    tail -60 "$log"
    echo "${name}_fuzzer found a fault; the input that shows it is named in the lines above" >&2
    exit 1
  fi
  grep -E "^Done " "$log"
done
