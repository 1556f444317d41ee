// The tool on damaged files: an MP3 gives the whole of what decodes, and a
// cut after the damage holds the source's own samples there; a WAV header
// with impossible numbers is refused, naming them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mp3_info.h"
#include "tests/cli/CliRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<int16_t> PcmOf(const std::string& wav) {
  const std::vector<uint8_t> bytes = ReadFile(wav);
  std::vector<int16_t> samples(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

TEST(DamagedMp3, DecodeKeepsEverythingAndCutsLineUpAfterTheDamage) {
  TempDir dir;
  std::vector<uint8_t> mp3 = EncodeMp3(ChirpSamples(44100 * 30, 2, 44100), 2, 44100, 128, false);
  // Zero the header of the frame a tenth of the way in.
  size_t at = 0, frame = 0;
  for (Mp3FrameHeader header; ParseMp3FrameHeader(&mp3[at], header) && frame < 115; ++frame) at += header.length;
  std::fill_n(mp3.begin() + static_cast<ptrdiff_t>(at), 4, 0);
  const std::string source = dir.File("damaged.mp3");
  WriteBytes(source, mp3);

  const std::string whole = dir.File("whole.wav");
  const Result decoded = Cli({"decode", Q(source), Q(whole), "--quiet"});
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  const std::vector<int16_t> all = PcmOf(whole);
  EXPECT_GE(all.size(), 2u * (44100 * 30 - 2 * 1152));  // one frame's time lost, not the rest of the file

  const std::string cut = dir.File("cut.mp3"), back = dir.File("back.wav");
  const Result r = Cli({"cut", Q(source), Q(cut), "--start", "20", "--end", "23", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Cli({"decode", Q(cut), Q(back), "--quiet"}).code, 0);
  const std::vector<int16_t> part = PcmOf(back);
  EXPECT_EQ(part.size(), 2u * 3 * 44100);
  EXPECT_EQ(BestLag(all, 20 * 44100, part, 2, 2500), 0);
}

TEST(DamagedWav, ImpossibleRatesAndChannelCountsAreRefusedNamingTheField) {
  TempDir dir;
  const std::vector<uint8_t> data(4000, 0);
  const struct {
    uint16_t channels;
    uint32_t rate;
    const char* field;
  } cases[] = {{2, 4000000000u, "sample rate of 4000000000 Hz"}, {2, 0, "sample rate of 0 Hz"},
               {100, 44100, "channel count of 100"}};
  for (const auto& c : cases) {
    const std::string wav = dir.File("odd.wav");
    WriteBytes(wav, WavBuilder()
                        .Format(1, c.channels, c.rate, static_cast<uint16_t>(c.channels * 2), 16)
                        .Chunk("data", data)
                        .Build());
    for (const QStringList& command : {QStringList{"info", Q(wav)}, QStringList{"encode", Q(wav), Q(dir.File("o.wma"))}}) {
      const Result r = Cli(command);
      EXPECT_EQ(r.code, 2) << r.err;
      EXPECT_NE(r.err.find(c.field), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(wav), std::string::npos) << r.err;
    }
  }
}

}  // namespace
