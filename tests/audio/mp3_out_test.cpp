// The MP3 writer: its encoder configuration, its tags, and files that decode
// back to exactly the samples that went in.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "audio/ACS_LAME.h"
#include "audio/ACS_WinMedia.h"
#include "tests/audio/InputRun.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/audio/WriterTest.h"
#include "tests/support/Alignment.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/OwnProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}


using Mp3Writing = WriterTest<TMP3Out>;

TEST_F(Mp3Writing, SettingsFromTheProperties) {
  using Mode = media::LameSettings::Mode;
  const media::LameSettings& settings = output.EncoderSettings();
  auto mono = Tone(2000, 1, 44100);
  output.SetMode(mmJointStereo);
  output.SetCopyright(true);
  ASSERT_EQ(Write(*mono), "");
  EXPECT_EQ(settings.sampleRate, 44100);
  EXPECT_EQ(settings.mode, Mode::Mono);  // mono input: mono, whatever Mode says
  EXPECT_EQ(settings.bitrateKbps, 128);
  EXPECT_TRUE(settings.original);
  EXPECT_TRUE(settings.tagFrame);  // the Xing/LAME frame, for CBR too
  EXPECT_FALSE(settings.vbr);
  EXPECT_FALSE(settings.bitReservoir);
  EXPECT_FALSE(settings.strictIso);

  auto stereo = Tone(2000, 2, 48000);
  output.SetMode(mmDual);
  output.SetAverageBitrate(mbr160);
  output.SetEnableVBR(true);
  output.SetVBRQuality(mp3ql4);
  output.SetEnableBitReservoir(true);
  output.SetStrictISO(true);
  output.SetMaximumBitrate(mbr256);
  ASSERT_EQ(Write(*stereo), "");
  EXPECT_EQ(settings.mode, Mode::Stereo);  // dual becomes stereo
  EXPECT_EQ(settings.maxBitrateKbps, 256);
  EXPECT_TRUE(settings.vbr);
  EXPECT_EQ(settings.vbrQuality, 4);
  EXPECT_EQ(settings.abrKbps, 160);
  EXPECT_TRUE(settings.bitReservoir);
  EXPECT_TRUE(settings.strictIso);
  output.SetMode(mmJointStereo);
  ASSERT_EQ(Write(*stereo), "");
  EXPECT_EQ(settings.mode, Mode::JointStereo);
}

TEST_F(Mp3Writing, RefusedInputsCreateNothing) {
  auto surround = Tone(1000, 6, 44100);
  EXPECT_EQ(Write(*surround), "MP3 encoding takes one or two channels; the input has 6");
  EXPECT_FALSE(std::filesystem::exists(file));
  output.SetFileName("");
  auto good = Tone(1000, 2, 44100);
  EXPECT_EQ(Write(*good), "File name is not assigned.");
}

TEST(LameEncoder, ChunksOfAFrameAndTheTagFrame) {
  media::LameSettings settings;
  settings.mode = media::LameSettings::Mode::Stereo;
  media::LameEncoder encoder(settings);
  EXPECT_EQ(encoder.Channels(), 2);
  std::vector<int16_t> pcm(2 * 2 * media::LameEncoder::kFramesPerChunk, 0);
  EXPECT_THROW(encoder.Encode(pcm.data(), 2 * media::LameEncoder::kFramesPerChunk), Error);
  size_t made = 0;
  for (int i = 0; i < 10; ++i) made += encoder.Encode(pcm.data(), media::LameEncoder::kFramesPerChunk).size();
  made += encoder.Flush().size();
  EXPECT_GT(made, 0u);
  const std::vector<uint8_t> tag = encoder.TagFrame();
  ASSERT_GE(tag.size(), 4u);
  EXPECT_EQ(tag[0], 0xFF);  // a frame of its own, with the Xing/Info header in it
  EXPECT_NE(std::search(tag.begin(), tag.end(), std::begin("Info"), std::end("Info") - 1), tag.end());

  settings.mode = media::LameSettings::Mode::Mono;
  EXPECT_EQ(media::LameEncoder(settings).Channels(), 1);
}

TEST_F(Mp3Writing, WriteFailureIsReported) {
  std::string message;
  {
    const FileSizeLimit limit(10000);
    auto input = Tone(44100 * 5, 2, 44100);
    message = Write(*input);
  }
  EXPECT_EQ(message, "Error writing down mp3 file: the file is larger than this file system or its limit allows");
}

TEST_F(Mp3Writing, FailureWhileFinishingIsReported) {
  // Everything fits but the ID3v1 record, which is written last.
  auto input = Tone(3000, 2, 44100);
  ASSERT_EQ(Write(*input), "");
  const auto whole = static_cast<rlim_t>(ReadFile(file).size());
  std::string message;
  {
    const FileSizeLimit limit(whole - 100);
    message = Write(*input);
  }
  EXPECT_EQ(message, "Error writing down mp3 file: the file is larger than this file system or its limit allows");
  EXPECT_TRUE(done);
}

TEST_F(Mp3Writing, WithoutTheEncoderLibraryNothingIsCreated) {
  QProcessEnvironment missing;
  missing.insert("CLIPWRIGHT_LAME_LIBRARY", "/nonexistent/libmp3lame.so.0");
  if (const OwnProcess where = RunInOwnProcess(missing); where != OwnProcess::Here) {
    EXPECT_EQ(where, OwnProcess::Passed);
    return;
  }
  auto input = Tone(1000, 2, 44100);
  EXPECT_EQ(Write(*input), "libmp3lame.so.0 library could not be loaded.");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(input->Flushes, 0);  // never opened
}

}  // namespace
