// Column peaks: the lowest and highest sample of each channel per column,
// exactly as computed from the decoded samples, for every input.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/peaks/ColumnPeaks.h"
#include "tests/audio/InputRun.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"
#include "tests/support/WmaEncoder.h"

namespace {

/// The columns computed the plain way, from all the samples at once.
std::vector<PeakPair> Reference(const std::vector<int16_t>& samples, int channels, int width) {
  const int64_t frames = static_cast<int64_t>(samples.size()) / channels;
  std::vector<PeakPair> columns(static_cast<size_t>(width * channels));
  for (int c = 0; c < width; ++c) {
    const int64_t from = frames * c / width, to = frames * (c + 1) / width;
    for (int ch = 0; ch < channels; ++ch) {
      if (from >= to) continue;
      int16_t low = INT16_MAX, high = INT16_MIN;
      for (int64_t f = from; f < to; ++f) {
        low = std::min(low, samples[static_cast<size_t>(f * channels + ch)]);
        high = std::max(high, samples[static_cast<size_t>(f * channels + ch)]);
      }
      columns[static_cast<size_t>(c * channels + ch)] = {low, high};
    }
  }
  return columns;
}

void ExpectColumns(const ColumnPeaks& peaks, const std::vector<PeakPair>& expected) {
  for (int c = 0; c < peaks.Width(); ++c)
    for (int ch = 0; ch < peaks.Channels(); ++ch) {
      const PeakPair& want = expected[static_cast<size_t>(c * peaks.Channels() + ch)];
      ASSERT_EQ(peaks.At(c, ch).min, want.min) << "column " << c << " channel " << ch;
      ASSERT_EQ(peaks.At(c, ch).max, want.max) << "column " << c << " channel " << ch;
    }
}

TEST(ColumnPeaks, EveryInputGivesThePeaksOfItsDecodedSamples) {
  TempDir dir;
  const auto music = ChirpSamples(44100 * 3 + 123, 2, 44100);
  const std::string wav = dir.File("a.wav"), mp3 = dir.File("a.mp3"), wma = dir.File("a.wma");
  WriteBytes(wav, WavBuilder().Format(1, 2, 44100, 4, 16).Chunk("data", WavBuilder::Samples(music)).Build());
  WriteBytes(mp3, EncodeMp3(music, 2, 44100, 128, true));
  WriteWma(wma, music, 2, 44100, 128000);
  for (const std::string& file : {wav, mp3, wma}) {
    std::unique_ptr<TAuFileIn> input;
    if (file == wav) input = std::make_unique<Sealed<TWaveIn>>();
    else input = std::make_unique<Sealed<TWMIn>>();
    input->SetFileName(file);
    const std::vector<int16_t> decoded = ReadRun(*input);
    const int64_t frames = input->TotalSamples();
    for (int width : {1, 7, 1000, 4096}) {
      SCOPED_TRACE(file + " width " + std::to_string(width));
      const ColumnPeaks peaks = ReadColumnPeaks(*input, frames, width);
      EXPECT_EQ(peaks.Added(), frames);
      ExpectColumns(peaks, Reference(decoded, 2, width));
    }
    // A range: its own columns.
    input->SetStartSample(44100);
    input->SetEndSample(2 * 44100 - 1);
    const ColumnPeaks part = ReadColumnPeaks(*input, 44100, 300);
    ExpectColumns(part, Reference(std::vector<int16_t>(decoded.begin() + 2 * 44100, decoded.begin() + 4 * 44100), 2, 300));
  }
}

TEST(ColumnPeaks, WiderSamplesMoreColumnsThanFramesAndShortInputs) {
  // 24-bit samples are taken to their top 16 bits; 8-bit ones around 128.
  Sealed<MemoryInput> wide(0);
  wide.Bits = 24;
  wide.ChannelCount = 1;
  wide.data = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x01, 0x00};  // -8388608, 8388607, 256
  wide.AnnouncedSize = 9;
  ColumnPeaks peaks = ReadColumnPeaks(wide, 3, 1);
  EXPECT_EQ(peaks.At(0, 0).min, -32768);
  EXPECT_EQ(peaks.At(0, 0).max, 32767);
  Sealed<MemoryInput> narrow(0);
  narrow.Bits = 8;
  narrow.ChannelCount = 1;
  narrow.data = {0, 128, 255};
  narrow.AnnouncedSize = 3;
  // Five columns over three frames start at frames 0, 0, 1, 1, 2: columns 0
  // and 2 hold no frame and stay 0, 0.
  peaks = ReadColumnPeaks(narrow, 3, 5);
  EXPECT_EQ(peaks.At(1, 0).min, -32768);
  EXPECT_EQ(peaks.At(3, 0).max, 0);
  EXPECT_EQ(peaks.At(4, 0).max, 32512);
  for (int empty : {0, 2}) {
    EXPECT_EQ(peaks.At(empty, 0).min, 0);
    EXPECT_EQ(peaks.At(empty, 0).max, 0);
  }
  // Frames split between deliveries (64-byte blocks of 6-byte frames).
  Sealed<MemoryInput> split(0);
  split.Bits = 24;
  split.ChannelCount = 2;
  split.BlockSize = 64;
  std::vector<int16_t> tops;
  for (int i = 0; i < 1000; ++i) {
    const auto value = static_cast<int16_t>((i * 7919) % 65536 - 32768);
    split.data.insert(split.data.end(), {0x55, static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
    tops.push_back(value);
  }
  split.AnnouncedSize = static_cast<int64_t>(split.data.size());
  ExpectColumns(ReadColumnPeaks(split, 500, 37), Reference(tops, 2, 37));
  // Fewer frames than counted is a failure, not a short overview.
  Sealed<MemoryInput> shortInput(0);
  shortInput.SetSamples({1, 2, 3});
  EXPECT_THROW(ReadColumnPeaks(shortInput, 10, 2), EAuException);
}

}  // namespace
