#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/ACS_WinMedia.h"
#include "audio/mp3cut/MP3LosslessOut.h"
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

std::vector<int16_t> Slice(const std::vector<int16_t>& all, int channels, int64_t start, int64_t end) {
  return {all.begin() + start * channels, all.begin() + end * channels};
}

TEST_F(Mp3LosslessTest, CopiesExactlyTheSamplesOfTheRange) {
  const Source sources[] = {
      {"cbr128", 2, 44100, 128, true, false}, {"cbr32", 2, 44100, 32, false, false},
      {"vbr", 2, 44100, 128, true, true},     {"mono22", 1, 22050, 64, true, false},
      {"mono8", 1, 8000, 32, true, false},    {"untagged", 2, 44100, 128, false, false},
      {"vbr_untagged", 1, 48000, 128, false, true}, {"mono22_32", 1, 22050, 32, false, false},
  };
  for (const Source& s : sources) {
    SCOPED_TRACE(s.name);
    const std::string source = Make(s, s.rate * 3);
    const std::vector<int16_t> whole = DecodeWithFfmpeg(source);
    const int64_t total = static_cast<int64_t>(whole.size()) / s.channels;
    const int spf = s.rate >= 32000 ? 1152 : 576;
    const int64_t starts[] = {s.tag ? 0 : 529, 1, 575, spf - 1, spf, 3 * spf + 17, total / 2, total - 2 * spf - 5, total - spf - 1};
    for (int64_t start : starts) {
      for (int64_t length : {int64_t{spf + 1}, int64_t{2 * spf + 3}, total}) {
        if (!s.tag && start < 529) continue;
        const int64_t end = std::min(total, start + length);
        SCOPED_TRACE("[" + std::to_string(start) + ", " + std::to_string(end) + ")");
        std::filesystem::copy_file(source, "/tmp/dbg_src.mp3", std::filesystem::copy_options::overwrite_existing);
        ASSERT_EQ(Cut(source, start, end), "");
        std::filesystem::copy_file(file, "/tmp/dbg_cut.mp3", std::filesystem::copy_options::overwrite_existing);
        const std::vector<int16_t> cut = DecodeWithFfmpeg(file);
        ASSERT_EQ(cut.size(), static_cast<size_t>(end - start) * s.channels);
        ASSERT_TRUE(cut == Slice(whole, s.channels, start, end));
      }
    }
  }
}

}  // namespace
