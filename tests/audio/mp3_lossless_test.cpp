#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/ACS_WinMedia.h"
#include "audio/classes/StreamBytes.h"
#include "audio/mp3/MP3LosslessOut.h"
#include "audio/mp3/Mp3Stream.h"
#include "audio/mp3/frames/Mp3Info.h"
#include "audio/mp3/frames/InfoFrame.h"
#include "tests/audio/InputRun.h"
#include "tests/audio/WriterTest.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Mp3Encoder.h"

namespace {

/// A source made by LAME (bit reservoir in use) and its gapless decode.
struct Source {
  const char* name;
  int channels, rate, kbps;
  bool tag, vbr;
};

class Mp3LosslessTest : public WriterTest<TMP3LosslessOut> {
 protected:
  void SetUp() override {
    file = dir.File("cut.mp3");  // decoders look at the extension of very short files
    WriterTest::SetUp();
  }

  std::string Make(const Source& s, int frames) {
    const std::string name = dir.File(std::string(s.name) + ".mp3");
    WriteBytes(name, EncodeMp3(ChirpSamples(frames, s.channels, s.rate), s.channels, s.rate, s.kbps, s.tag, s.vbr));
    return name;
  }

  /// Cuts the samples [start, end) of `source` into `file`; the error, empty when none.
  std::string Cut(const std::string& source, int64_t start, int64_t end) {
    Sealed<TWMIn> input;
    input.SetFileName(source);
    input.SetStartSample(start);
    input.SetEndSample(end - 1);
    return Write(input);
  }
};

LosslessPlan Plan(const std::string& name, int64_t start, int64_t end) {
  return PlanLosslessCut(ScanMp3File(name), start, end);
}

Mp3Info InfoOf(const std::string& name) {
  TAuFileStream in(name, TFileMode::Read);
  TStreamBytes bytes(in);
  return ReadMp3Info(bytes);
}

std::vector<int16_t> Slice(const std::vector<int16_t>& all, int channels, int64_t start, int64_t end) {
  return {all.begin() + start * channels, all.begin() + end * channels};
}

TEST_F(Mp3LosslessTest, CopiesExactlyTheSamplesOfTheRange) {
  const Source sources[] = {
      {"cbr128", 2, 44100, 128, true, false}, {"cbr32", 2, 44100, 32, false, false},
      {"vbr", 2, 44100, 128, true, true},     {"mono22", 1, 22050, 64, true, false},
      {"mono8", 1, 8000, 32, true, false},    {"untagged", 2, 44100, 128, false, false},
      {"vbr_untagged", 1, 48000, 128, false, true}, {"mono22_32", 1, 22050, 32, false, false},
      {"stereo24", 2, 24000, 64, true, false},
  };
  for (const Source& s : sources) {
    SCOPED_TRACE(s.name);
    const std::string source = Make(s, s.rate * 3);
    const std::vector<int16_t> whole = DecodeWithFfmpeg(source);
    const int64_t total = static_cast<int64_t>(whole.size()) / s.channels;
    const int spf = s.rate >= 32000 ? 1152 : 576;
    const Mp3Stream stream = ScanMp3File(source);
    EXPECT_TRUE(std::any_of(stream.frames.begin(), stream.frames.end(),
                            [](const Mp3Frame& f) { return f.mainDataBegin > 0; }));  // the reservoir is in use
    EXPECT_EQ(stream.GaplessSamples(), total);
    int carried = 0;  // cuts whose lead-in went into one silent frame
    const int64_t starts[] = {0, 1, 575, spf - 1, spf, 3 * spf + 17, total / 2, total - 2 * spf - 5, total - spf - 1};
    for (int64_t start : starts) {
      for (int64_t length : {int64_t{spf + 1}, int64_t{2 * spf + 3}, total}) {
        const int64_t end = std::min(total, start + length);
        SCOPED_TRACE("[" + std::to_string(start) + ", " + std::to_string(end) + ")");
        ASSERT_EQ(Cut(source, start, end), "");
        const std::vector<int16_t> cut = DecodeWithFfmpeg(file);
        ASSERT_EQ(cut.size(), static_cast<size_t>(end - start) * s.channels);
        ASSERT_TRUE(cut == Slice(whole, s.channels, start, end));
        carried += Plan(source, start, end).carriedBytes > 0;
      }
    }
    // At 32 kbps in MPEG 1 the reservoir spans more frames than the delay field can skip.
    if (s.kbps == 32 && s.rate == 44100) {
      EXPECT_GT(carried, 0);
    }
  }
}

TEST_F(Mp3LosslessTest, OurReaderAndFfmpegReadTheInfoFrame) {
  const std::string source = Make({"vbr", 2, 44100, 128, true, true}, 44100 * 2);
  const std::vector<int16_t> whole = DecodeWithFfmpeg(source);
  const int64_t start = 10000, end = 60000;
  ASSERT_EQ(Cut(source, start, end), "");
  const LosslessPlan plan = Plan(source, start, end);
  const Mp3Info info = InfoOf(file);
  EXPECT_TRUE(info.lameTag);
  EXPECT_TRUE(info.vbr);
  EXPECT_EQ(info.encoderDelay, plan.delay);
  EXPECT_EQ(info.encoderPadding, plan.padding);
  EXPECT_EQ(info.frames, plan.AudioFrames());
  EXPECT_EQ(info.Samples(), end - start);

  Sealed<TWMIn> ours;
  ours.SetFileName(file);
  EXPECT_EQ(ours.TotalSamples(), end - start);
  EXPECT_TRUE(ReadRun(ours) == Slice(whole, 2, start, end));
  EXPECT_TRUE(DecodeWithFfmpeg(file) == Slice(whole, 2, start, end));
  // The LAME tag checks itself: CRC-16 of the frame up to the check.
  const std::vector<uint8_t> bytes = ReadFile(file);
  const size_t crcAt = 4 + 32 + 120 + 34;
  EXPECT_EQ(LameCrc16(bytes.data(), crcAt), (bytes[crcAt] << 8) | bytes[crcAt + 1]);
}

TEST_F(Mp3LosslessTest, ASourceWithAVbriFrameIsCutExactly) {
  // LAME's info frame turned into a VBRI frame (always 32 bytes after the header).
  std::vector<uint8_t> bytes = EncodeMp3(ChirpSamples(44100 * 2, 2, 44100), 2, 44100, 128, true, true);
  Mp3FrameHeader header;
  ASSERT_TRUE(ParseMp3FrameHeader(bytes.data(), header));
  uint32_t frames = 0;
  for (size_t at = static_cast<size_t>(header.length); at + 4 <= bytes.size(); ++frames) {
    Mp3FrameHeader next;
    ASSERT_TRUE(ParseMp3FrameHeader(&bytes[at], next));
    at += static_cast<size_t>(next.length);
  }
  std::fill(bytes.begin() + 4, bytes.begin() + header.length, 0);
  const auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  std::memcpy(&bytes[36], "VBRI", 4);
  bytes[41] = 1;  // version
  put32(46, static_cast<uint32_t>(bytes.size()));
  put32(50, frames);
  const std::string source = dir.File("vbri.mp3");
  WriteBytes(source, bytes);
  const std::vector<int16_t> whole = DecodeWithFfmpeg(source);
  ASSERT_EQ(whole.size(), static_cast<size_t>(frames) * 1152 * 2);  // no delay told: every sample
  for (const auto& [start, end] : {std::pair<int64_t, int64_t>{600, 40000}, {5000, frames * 1152}}) {
    ASSERT_EQ(Cut(source, start, end), "");
    EXPECT_TRUE(DecodeWithFfmpeg(file) == Slice(whole, 2, start, end)) << start;
  }
}

TEST_F(Mp3LosslessTest, CarriesTheTagsOverByteForByte) {
  const std::string plain = Make({"plain", 2, 44100, 128, true, false}, 44100 * 2);
  // An ID3v2.3 tag with a title and padding, then the frames, an APEv2 tag and an ID3v1 tag.
  std::vector<uint8_t> id3v2 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
  const std::string title = "A title";
  const std::vector<uint8_t> frame = {'T', 'I', 'T', '2', 0, 0, 0, static_cast<uint8_t>(title.size() + 1), 0, 0, 0};
  id3v2.insert(id3v2.end(), frame.begin(), frame.end());
  id3v2.insert(id3v2.end(), title.begin(), title.end());
  id3v2.resize(id3v2.size() + 200, 0);
  id3v2[8] = static_cast<uint8_t>((id3v2.size() - 10) >> 7);  // synchsafe
  id3v2[9] = static_cast<uint8_t>((id3v2.size() - 10) & 0x7F);
  std::vector<uint8_t> ape(32, 0);
  std::memcpy(ape.data(), "APETAGEX", 8);
  ape[8] = 0xD0, ape[9] = 0x07;  // version 2000
  ape[12] = 32;                  // size: the footer, no items
  std::vector<uint8_t> id3v1(128, ' ');
  std::memcpy(id3v1.data(), "TAGSome song", 12);
  std::vector<uint8_t> bytes = id3v2;
  const std::vector<uint8_t> frames = ReadFile(plain);
  bytes.insert(bytes.end(), frames.begin(), frames.end());
  const std::vector<uint8_t> trailer = [&] {
    std::vector<uint8_t> t = ape;
    t.insert(t.end(), id3v1.begin(), id3v1.end());
    return t;
  }();
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  const std::string source = dir.File("tagged.mp3");
  WriteBytes(source, bytes);

  ASSERT_EQ(Cut(source, 5000, 50000), "");
  const std::vector<uint8_t> cut = ReadFile(file);
  ASSERT_GT(cut.size(), id3v2.size() + trailer.size());
  EXPECT_TRUE(std::equal(id3v2.begin(), id3v2.end(), cut.begin()));
  EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(), cut.end() - static_cast<long>(trailer.size())));
  EXPECT_TRUE(DecodeWithFfmpeg(file) == Slice(DecodeWithFfmpeg(plain), 2, 5000, 50000));
}

TEST_F(Mp3LosslessTest, AnUntaggedStreamIsCutExactlyFromItsVeryStart) {
  // Its decode starts with the decoder's delay, which a LAME tag cannot
  // leave in: a silent frame in front takes what the decoder drops.
  const std::string source = Make({"untagged", 2, 44100, 128, false, false}, 44100);
  const std::vector<int16_t> whole = DecodeWithFfmpeg(source);
  for (int64_t end : {int64_t{10 * 1152}, int64_t{10000}}) {
    ASSERT_EQ(Cut(source, 0, end), "");
    const LosslessPlan plan = Plan(source, 0, end);
    EXPECT_TRUE(plan.silentFrame);
    EXPECT_EQ(plan.carriedBytes, 0);
    EXPECT_EQ(InfoOf(file).encoderDelay, 1152 - 529);
    EXPECT_TRUE(DecodeWithFfmpeg(file) == Slice(whole, 2, 0, end)) << end;
  }
}

TEST_F(Mp3LosslessTest, ARangeInsideOneLaterFrameIsRefusedAndOneInTheFirstIsCut) {
  const std::string source = Make({"short", 1, 44100, 128, true, false}, 44100);
  const std::vector<int16_t> whole = DecodeWithFfmpeg(source);
  ASSERT_EQ(Cut(source, 0, 1), "");
  EXPECT_TRUE(DecodeWithFfmpeg(file) == Slice(whole, 1, 0, 1));
  const std::string error = Cut(source, 20000, 20010);
  EXPECT_NE(error.find("inside one MP3 frame"), std::string::npos) << error;
}

TEST_F(Mp3LosslessTest, RefusesStreamsItCannotCopyExactly) {
  const std::vector<uint8_t> good = EncodeMp3(ChirpSamples(44100, 2, 44100), 2, 44100, 128, true);
  auto refusal = [this](const std::vector<uint8_t>& bytes) {
    const std::string source = dir.File("bad.mp3");
    WriteBytes(source, bytes);
    std::filesystem::remove(file);
    const std::string error = Cut(source, 2000, 30000);
    EXPECT_FALSE(std::filesystem::exists(file));
    return error;
  };
  // Junk in the middle of the stream.
  std::vector<uint8_t> damaged = good;
  damaged.insert(damaged.begin() + static_cast<long>(damaged.size() / 2), 300, 0x55);
  EXPECT_NE(refusal(damaged).find("damaged at byte"), std::string::npos);
  // The last frame cut short.
  std::vector<uint8_t> shortened(good.begin(), good.end() - 100);
  EXPECT_NE(refusal(shortened).find("cut short"), std::string::npos);
  // Free format: every frame header without a bit rate.
  std::vector<uint8_t> free = good;
  for (size_t at = 0; at + 4 <= free.size();) {
    Mp3FrameHeader header;
    if (!ParseMp3FrameHeader(&free[at], header)) break;
    free[at + 2] &= 0x0F;
    at += static_cast<size_t>(header.length);
  }
  EXPECT_NE(refusal(free).find("free-format"), std::string::npos);
  // Not MPEG audio at all.
  EXPECT_NE(refusal(std::vector<uint8_t>(5000, 0)).find("no MPEG audio frames"), std::string::npos);
}

}  // namespace

namespace {

/// Counts the reads of the file it passes on.
class CountingBytes : public media::ByteSource {
 public:
  explicit CountingBytes(const std::string& name) : file_(name, TFileMode::Read), bytes_(file_) {}
  int64_t ReadAt(int64_t offset, void* into, int64_t count) override {
    ++reads;
    return bytes_.ReadAt(offset, into, count);
  }
  int64_t Size() override { return bytes_.Size(); }
  std::string Identity() override { return bytes_.Identity(); }
  int reads = 0;

 private:
  TAuFileStream file_;
  TStreamBytes bytes_;
};

TEST_F(Mp3LosslessTest, AnUnchangedFilesFramesAreWalkedOnceAndAChangedOnesAgain) {
  const Source s{"walked", 2, 44100, 128, true, false};
  const std::string source = Make(s, 44100);
  CountingBytes first(source);
  const Mp3Info before = ReadMp3Info(first);
  EXPECT_GT(first.reads, 0);
  CountingBytes again(source);
  const Mp3Info remembered = ReadMp3Info(again);
  EXPECT_EQ(again.reads, 0);
  EXPECT_EQ(remembered.frames, before.frames);
  EXPECT_EQ(remembered.Samples(), 44100);
  // Written anew, longer: its facts are read again.
  Make(s, 44100 * 2);
  CountingBytes changed(source);
  const Mp3Info after = ReadMp3Info(changed);
  EXPECT_GT(changed.reads, 0);
  EXPECT_EQ(after.Samples(), 44100 * 2);
}

}  // namespace
