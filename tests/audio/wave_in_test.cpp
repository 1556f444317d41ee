#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "audio/ACS_Classes.h"
#include "audio/ACS_Wave.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<int16_t> Ramp(int samples) {
  std::vector<int16_t> out;
  for (int i = 0; i < samples; ++i) out.push_back(static_cast<int16_t>(i * 7 - 3000));
  return out;
}

class WaveReading : public ::testing::Test {
 protected:
  /// Writes the bytes and opens them with a fresh reader.
  TWaveIn& Open(const Bytes& bytes) {
    WriteBytes(file, bytes);
    input = std::make_unique<Sealed<TWaveIn>>();
    input->SetFileName(file);
    return *input;
  }

  /// Everything one run delivers, with an optional range.
  Bytes ReadAll(int64_t start = 0, int64_t end = -1) {
    input->SetStartSample(start);
    input->SetEndSample(end);
    input->Init();
    Bytes out;
    for (;;) {
      void* block = nullptr;
      uint32_t bytes = 3000;
      input->GetData(block, bytes);
      if (bytes == 0) break;
      out.insert(out.end(), static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + bytes);
    }
    input->Flush();
    return out;
  }

  static std::vector<int16_t> AsSamples(const Bytes& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
  }

  TempDir dir;
  std::string file = dir.File("in.wav");
  std::unique_ptr<TWaveIn> input;
};

TEST_F(WaveReading, PlainPcmWithOddChunksAndLooseNames) {
  const auto samples = Ramp(2000);
  // An odd LIST chunk (with its pad byte) and lower-case names, "fmt" + 0x00.
  WavBuilder wav;
  wav.Chunk("LIST", Bytes(13, 'x')).Format(1, 2, 22050, 4, 16);
  Bytes bytes = wav.Chunk("junk", Bytes(3, 0)).Chunk("data", WavBuilder::Samples(samples)).Build();
  // Rename "fmt " to "fmt\0" and "data" to "DATA".
  auto rename = [&bytes](const char* from, const char* to) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
      if (std::memcmp(&bytes[i], from, 4) == 0) return std::memcpy(&bytes[i], to, 4), void();
  };
  rename("fmt ", "fmt\0");
  rename("data", "DATA");
  TWaveIn& in = Open(bytes);
  EXPECT_EQ(in.WavType(), wtPCM);
  EXPECT_EQ(in.Channels(), 2);
  EXPECT_EQ(in.SampleRate(), 22050);
  EXPECT_EQ(in.TotalSamples(), 1000);
  EXPECT_EQ(AsSamples(ReadAll()), samples);
  // An exact range.
  const auto part = AsSamples(ReadAll(100, 199));
  ASSERT_EQ(part.size(), 200u);
  EXPECT_EQ(part[0], samples[200]);
}

TEST_F(WaveReading, OddChunkWithoutItsPadByte) {
  const auto samples = Ramp(100);
  Bytes bytes = WavBuilder().Format(1, 1, 8000, 2, 16).Chunk("LIST", Bytes(5, 'y'), false)
                    .Chunk("data", WavBuilder::Samples(samples)).Build();
  Open(bytes);
  EXPECT_EQ(AsSamples(ReadAll()), samples);
}

TEST_F(WaveReading, AFileCutShortCountsOnlyTheFramesItHolds) {
  const auto samples = Ramp(1001);  // stereo: 500 whole frames and half a frame
  for (const uint32_t declared : {4000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(declared);
    Bytes bytes = WavBuilder().Format(1, 2, 8000, 4, 16).Build();
    WavBuilder::Put32(bytes, 0x61746164);  // "data"
    WavBuilder::Put32(bytes, declared);
    const Bytes payload = WavBuilder::Samples(samples);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    TWaveIn& in = Open(bytes);
    EXPECT_EQ(in.TotalSamples(), 500);
    const auto read = AsSamples(ReadAll());
    EXPECT_EQ(read.size(), 1000u);
    EXPECT_EQ(read, std::vector<int16_t>(samples.begin(), samples.begin() + 1000));
  }
}

TEST_F(WaveReading, FloatFilesDeliverInt32) {
  std::vector<float> singles = {0.5f, -0.5f, 1.5f, 0.0f};
  Bytes payload(singles.size() * 4);
  std::memcpy(payload.data(), singles.data(), payload.size());
  TWaveIn& in = Open(WavBuilder().Format(3, 2, 44100, 8, 32).Chunk("data", payload).Build());
  EXPECT_EQ(in.WavType(), wtIEEEFloat);
  EXPECT_EQ(in.BitsPerSample(), 32);
  Bytes out = ReadAll();
  ASSERT_EQ(out.size(), 16u);
  int32_t values[4];
  std::memcpy(values, out.data(), 16);
  EXPECT_EQ(values[0], 1073741823);
  EXPECT_EQ(values[2], 2147483647);

  // 64-bit floats: half the size, ranges exact.
  std::vector<double> doubles;
  for (int i = 0; i < 200; ++i) doubles.push_back(i / 1000.0);
  payload.assign(doubles.size() * 8, 0);
  std::memcpy(payload.data(), doubles.data(), payload.size());
  TWaveIn& wide = Open(WavBuilder().Format(3, 1, 8000, 8, 64).Chunk("data", payload).Build());
  EXPECT_EQ(wide.TotalSamples(), 200);
  EXPECT_EQ(wide.Size(), 800);
  out = ReadAll(150, 159);
  ASSERT_EQ(out.size(), 40u);
  std::memcpy(values, out.data(), 4);
  EXPECT_EQ(values[0], static_cast<int32_t>(std::floor(0.150 * 2147483647.0)));
}

TEST_F(WaveReading, ExtensibleHeadersByGuid) {
  auto extensible = [](uint8_t subtype) {
    Bytes extra;
    WavBuilder::Put16(extra, 22);
    WavBuilder::Put16(extra, 32);
    WavBuilder::Put32(extra, 3);
    const Bytes guid = {subtype, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    extra.insert(extra.end(), guid.begin(), guid.end());
    return extra;
  };
  Bytes payload(64, 0);
  EXPECT_EQ(Open(WavBuilder().Format(0xFFFE, 2, 8000, 8, 32, extensible(3)).Chunk("data", payload).Build()).WavType(),
            wtExtIEEEFloat);
  EXPECT_EQ(Open(WavBuilder().Format(0xFFFE, 2, 8000, 8, 32, extensible(1)).Chunk("data", payload).Build()).WavType(),
            wtExtPCM);
  TWaveIn& other = Open(WavBuilder().Format(0xFFFE, 2, 8000, 8, 32, extensible(9)).Chunk("data", payload).Build());
  EXPECT_EQ(other.WavType(), wtUnsupported);
  EXPECT_FALSE(other.Valid());
  EXPECT_TRUE(ReadAll().empty());
}

TEST_F(WaveReading, ImaAdpcmSizesAndExactRanges) {
  // Two blocks of mono IMA ADPCM made by our encoder; fact says 1500 samples.
  const auto samples = Ramp(2034);
  Bytes data(1024);
  Adpcm::ImaChannel state;
  Adpcm::ImaEncodeBlock(samples.data(), 512, 1, &state, data.data());
  Adpcm::ImaEncodeBlock(samples.data() + 1017, 512, 1, &state, data.data() + 512);
  Bytes extra;
  WavBuilder::Put16(extra, 2);
  WavBuilder::Put16(extra, 1017);
  Bytes fact;
  WavBuilder::Put32(fact, 1500);
  TWaveIn& in = Open(WavBuilder().Format(17, 1, 8000, 512, 4, extra).Chunk("fact", fact).Chunk("data", data).Build());
  EXPECT_EQ(in.WavType(), wtDVIADPCM);
  EXPECT_EQ(in.BitsPerSample(), 16);
  EXPECT_EQ(in.Size(), 3000);
  const auto all = AsSamples(ReadAll());
  ASSERT_EQ(all.size(), 1500u);  // the second block's surplus is cut off
  // A range starting inside the second block starts at its own frame.
  const auto part = AsSamples(ReadAll(1100, 1109));
  ASSERT_EQ(part.size(), 10u);
  EXPECT_EQ(part[0], all[1100]);
  EXPECT_EQ(part[9], all[1109]);
  const auto first = AsSamples(ReadAll(5, 6));
  EXPECT_EQ(first, (std::vector<int16_t>{all[5], all[6]}));
}

TEST_F(WaveReading, MicrosoftAdpcm) {
  Bytes extra;
  WavBuilder::Put16(extra, 32);  // extension size
  WavBuilder::Put16(extra, 6);   // samples per block
  WavBuilder::Put16(extra, 2);   // coefficient pairs
  for (int16_t c : {256, 0, 512, -256}) WavBuilder::Put16(extra, static_cast<uint16_t>(c));
  Bytes fact;
  WavBuilder::Put32(fact, 12);
  const Bytes block = {0, 16, 0, 100, 0, 50, 0, 0x10, 0x00};
  Bytes data = block;
  data.insert(data.end(), block.begin(), block.end());
  TWaveIn& in = Open(WavBuilder().Format(2, 1, 8000, 9, 4, extra).Chunk("fact", fact).Chunk("data", data).Build());
  EXPECT_EQ(in.WavType(), wtMSADPCM);
  const auto all = AsSamples(ReadAll());
  EXPECT_EQ(all, (std::vector<int16_t>{50, 100, 116, 116, 116, 116, 50, 100, 116, 116, 116, 116}));
  EXPECT_EQ(AsSamples(ReadAll(7, 8)), (std::vector<int16_t>{100, 116}));
}

TEST_F(WaveReading, HostileHeadersAreUnsupportedOrSafe) {
  const Bytes payload(400, 1);
  Bytes tooManyCoefficients;
  WavBuilder::Put16(tooManyCoefficients, 4);
  WavBuilder::Put16(tooManyCoefficients, 6);
  WavBuilder::Put16(tooManyCoefficients, 40);
  const Bytes cases[] = {
      WavBuilder().Format(1, 0, 8000, 0, 16).Chunk("data", payload).Build(),    // no channels
      WavBuilder().Format(1, 2, 8000, 0, 0).Chunk("data", payload).Build(),     // no bits
      WavBuilder().Format(1, 2, 0, 4, 16).Chunk("data", payload).Build(),       // no rate
      WavBuilder().Format(17, 1, 8000, 2, 4, {2, 0, 1, 0}).Chunk("fact", {1, 0, 0, 0}).Chunk("data", payload).Build(),
      WavBuilder().Format(2, 1, 8000, 256, 4, tooManyCoefficients).Chunk("fact", {1, 0, 0, 0}).Chunk("data", payload).Build(),
      WavBuilder().Format(99, 1, 8000, 2, 16).Chunk("data", payload).Build(),   // unknown tag
      WavBuilder().Format(1, 1, 8000, 2, 16).Build(),                           // no data chunk
  };
  for (const Bytes& bytes : cases) {
    TWaveIn& in = Open(bytes);
    EXPECT_FALSE(in.Valid());
    EXPECT_TRUE(ReadAll().empty());
  }

  // Step index above 88 and a "fact" count larger than the data: read safely.
  Bytes block(512, 0x77);
  block[2] = 200;
  Bytes fact;
  WavBuilder::Put32(fact, 1000000);
  TWaveIn& in = Open(WavBuilder().Format(17, 1, 8000, 512, 4, {2, 0, 0xF9, 3}).Chunk("fact", fact)
                         .Chunk("data", block).Build());
  EXPECT_TRUE(in.Valid());
  EXPECT_EQ(ReadAll().size(), 1017u * 2);

  // A header of 65,535 bytes or more before the data is not looked through.
  Bytes junk(70000, 'j');
  const Bytes good = WavBuilder().Format(1, 1, 8000, 2, 16).Chunk("data", payload).Build();
  junk.insert(junk.end(), good.begin(), good.end());
  EXPECT_FALSE(Open(junk).Valid());
  // A large chunk is stepped over, not read.
  EXPECT_TRUE(Open(WavBuilder().Chunk("LIST", Bytes(200000, 'L')).Format(1, 1, 8000, 2, 16)
                       .Chunk("data", payload).Build()).Valid());
}

TEST_F(WaveReading, Layer3InsideWav) {
  std::vector<int16_t> tone;
  for (int i = 0; i < 44100; ++i) tone.push_back(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / 44100)));
  const Bytes mp3 = EncodeMp3(tone, 1, 44100, 64);
  Bytes extra;  // MPEGLAYER3WAVEFORMAT's 12 bytes
  WavBuilder::Put16(extra, 12);
  WavBuilder::Put16(extra, 1);
  WavBuilder::Put32(extra, 2);
  WavBuilder::Put16(extra, 209);
  WavBuilder::Put16(extra, 1);
  WavBuilder::Put16(extra, 0);
  Bytes fact;
  WavBuilder::Put32(fact, 44100);
  TWaveIn& in = Open(WavBuilder().Format(0x55, 1, 44100, 1, 0, extra).Chunk("fact", fact).Chunk("data", mp3).Build());
  EXPECT_EQ(in.WavType(), wtACM);
  ASSERT_TRUE(in.Valid());
  EXPECT_EQ(in.BitsPerSample(), 16);
  EXPECT_EQ(in.Channels(), 1);
  const auto pcm = AsSamples(ReadAll());
  // Layer 3 adds encoder delay and padding, never much more than two frames.
  EXPECT_GE(pcm.size(), 44100u);
  EXPECT_LT(pcm.size(), 44100u + 3 * 1152u);
  double energy = 0;
  for (int16_t s : pcm) energy += double(s) * s;
  EXPECT_GT(std::sqrt(energy / pcm.size()), 3000.0);  // the tone came through
  // Ranges of converted data are exact too.
  const auto part = AsSamples(ReadAll(10000, 10009));
  ASSERT_EQ(part.size(), 10u);
  EXPECT_EQ(part[0], pcm[10000]);

  // Garbage that says it is layer 3 is not valid.
  EXPECT_FALSE(Open(WavBuilder().Format(0x55, 1, 44100, 1, 0, extra).Chunk("fact", fact)
                        .Chunk("data", Bytes(5000, 0x42)).Build()).Valid());
}

TEST(WaveConverter, EmptyFormatChunkFromTheFuzzer) {
  // An empty "fmt " chunk once reached memcpy with a null source.
  TAuMemoryStream file(WavBuilder().Chunk("fmt ", {}).Chunk("data", Bytes(8, 1)).Build());
  TWaveConverter converter;
  converter.LoadFile(file);
  EXPECT_EQ(converter.SourceFormat().formatTag, 0);
  EXPECT_EQ(converter.Size(), 0);  // the header scan finds no format it knows
  EXPECT_FALSE(converter.Convert());
}

TEST_F(WaveReading, OutsideARunTheStreamIsNotOpened) {
  TWaveIn& in = Open(WavBuilder().Format(1, 1, 8000, 2, 16).Chunk("data", Bytes(10, 0)).Build());
  void* block = nullptr;
  uint32_t bytes = 10;
  try {
    in.GetData(block, bytes);
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "The Stream is not opened");
  }
  EXPECT_EQ(in.TotalSamples(), 5);
}

}  // namespace
