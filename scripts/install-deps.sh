#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  # build and test tools
  cmake pkg-config g++ make libgtest-dev libgmock-dev libbenchmark-dev time python3
  # Qt 6: widgets, local sockets, audio output, headless platform plugin
  qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libqt6gui6
  # decoding, encoding, tags, pictures
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libmp3lame-dev libtag1-dev libjpeg62-turbo-dev libcue-dev
  # loudness by EBU R128
  libebur128-dev
  # a sound server of the tests' own, to hear what the player plays
  pulseaudio pulseaudio-utils
  # a second decoder that honours the LAME tag, to check lossless MP3 cuts
  mpg123
  # the encoders and taggers whose files the corpus tests read, and FFmpeg's
  # own decoder as their reference
  ffmpeg lame sox flac vorbis-tools opus-tools kid3-cli
  # checking the installed desktop entry and AppStream description
  desktop-file-utils appstream
  # the window on a display in memory, and a picture of it
  xvfb xauth imagemagick
  # the fuzzers: clang with libFuzzer and its sanitizers
  clang
  # the Debian package: dependencies from the shared libraries, lintian
  fakeroot dpkg-dev lintian
  # batches fanned out by GNU parallel; the Kubernetes example read by its test
  parallel python3-yaml
)

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${packages[@]}"
