// The MP3 writer: its encoder configuration, its tags, and files that decode
// back to exactly the samples that went in.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

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

uint32_t U32At(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

using Mp3Writing = WriterTest<TMP3Out>;

TEST_F(Mp3Writing, ConfigurationFromTheProperties) {
  const auto bytes = [this] { return reinterpret_cast<const uint8_t*>(&output.EncoderConfig()); };
  auto mono = Tone(2000, 1, 44100);
  output.SetMode(mmJointStereo);
  output.SetCopyright(true);
  ASSERT_EQ(Write(*mono), "");
  EXPECT_EQ(U32At(bytes() + 0), 256u);   // BE_CONFIG_LAME
  EXPECT_EQ(U32At(bytes() + 4), 1u);     // version
  EXPECT_EQ(U32At(bytes() + 8), 331u);   // size
  EXPECT_EQ(U32At(bytes() + 12), 44100u);
  EXPECT_EQ(U32At(bytes() + 20), 3u);    // mono input: mono, whatever Mode says
  EXPECT_EQ(U32At(bytes() + 24), 128u);
  EXPECT_EQ(U32At(bytes() + 56), 0u);    // the copyright bit is not passed on
  EXPECT_EQ(U32At(bytes() + 60), 1u);    // original
  EXPECT_EQ(U32At(bytes() + 64), 1u);    // the Xing/LAME frame, for CBR too
  EXPECT_EQ(U32At(bytes() + 68), 0u);
  EXPECT_EQ(U32At(bytes() + 80), 2u);    // VBR_METHOD_NEW
  EXPECT_EQ(U32At(bytes() + 84), 0xFFFFFFFFu);  // no bit reservoir
  EXPECT_EQ(U32At(bytes() + 88), 0u);
  EXPECT_EQ(bytes()[92] | bytes()[93], 0);      // nQuality: the encoder's default

  auto stereo = Tone(2000, 2, 48000);
  output.SetMode(mmDual);
  output.SetAverageBitrate(mbr160);
  output.SetEnableVBR(true);
  output.SetVBRQuality(mp3ql4);
  output.SetEnableBitReservoir(true);
  output.SetStrictISO(true);
  output.SetMaximumBitrate(mbr256);
  ASSERT_EQ(Write(*stereo), "");
  EXPECT_EQ(U32At(bytes() + 20), 0u);    // dual becomes stereo
  EXPECT_EQ(U32At(bytes() + 28), 256u);
  EXPECT_EQ(U32At(bytes() + 68), 1u);
  EXPECT_EQ(U32At(bytes() + 72), 4u);
  EXPECT_EQ(U32At(bytes() + 76), 160u);  // the kbps number itself
  EXPECT_EQ(U32At(bytes() + 80), 4u);    // ABR
  EXPECT_EQ(U32At(bytes() + 84), 0u);
  EXPECT_EQ(U32At(bytes() + 88), 0xFFFFFFFFu);
  // ABR at 160 kbps comes out near 160 kbps.
  Sealed<TWMIn> check;
  check.SetFileName(file);
  EXPECT_TRUE(check.IsVBR());
}

TEST_F(Mp3Writing, Id3v1RecordByteForByte) {
  auto input = Tone(3000, 2, 44100);
  ASSERT_EQ(Write(*input), "");  // every field empty: the record is still there
  Bytes bytes = ReadFile(file);
  ASSERT_GE(bytes.size(), 128u);
  Bytes expected(128, 0);
  std::memcpy(expected.data(), "TAG", 3);
  expected[127] = 255;  // no genre
  EXPECT_EQ(Bytes(bytes.end() - 128, bytes.end()), expected);

  output.Id3v1Tags().SetTitle(std::string(40, 'T'));
  output.Id3v1Tags().SetArtist("Band");
  output.Id3v1Tags().SetComment("Note");
  output.Id3v1Tags().SetYear(0);
  output.Id3v1Tags().SetTrack(7);
  output.Id3v1Tags().SetGenre("Jazz");
  ASSERT_EQ(Write(*input), "");
  bytes = ReadFile(file);
  std::memset(expected.data() + 3, 'T', 30);
  std::memcpy(expected.data() + 33, "Band", 4);
  std::memcpy(expected.data() + 97, "Note", 4);  // year stays zero bytes
  expected[126] = 7;                             // ID3v1.1 track
  expected[127] = 8;                             // Jazz
  EXPECT_EQ(Bytes(bytes.end() - 128, bytes.end()), expected);

  output.Id3v1Tags().SetYear(1999);
  ASSERT_EQ(Write(*input), "");
  bytes = ReadFile(file);
  EXPECT_EQ(std::string(bytes.end() - 35, bytes.end() - 31), "1999");
}

TEST_F(Mp3Writing, Id3v2TagWithTextBeyondLatin1) {
  const std::u16string title = u"Gr\u00fc\u00dfe \u65e5\u672c \u2713";
  output.Id3v2Tags().SetTitle(title);
  output.Id3v2Tags().SetArtist(u"\u0391\u03b8\u03ae\u03bd\u03b1");
  output.Id3v2Tags().SetAlbum(u"Album");
  output.Id3v2Tags().SetGenre(u"Jazz");
  output.Id3v2Tags().SetYear("2004");
  output.Id3v2Tags().SetTrack("5");
  output.Id3v2Tags().SetComment(u"A comment longer than the thirty characters of ID3v1 \u2713");
  auto input = Tone(3000, 2, 44100);
  ASSERT_EQ(Write(*input), "");

  TagLib::MPEG::File tagged(file.c_str());
  ASSERT_NE(tagged.ID3v2Tag(), nullptr);
  EXPECT_EQ(tagged.ID3v2Tag()->title().toCWString(), std::wstring(L"Gr\u00fc\u00dfe \u65e5\u672c \u2713"));
  EXPECT_EQ(tagged.ID3v2Tag()->artist().toCWString(), std::wstring(L"\u0391\u03b8\u03ae\u03bd\u03b1"));
  EXPECT_EQ(tagged.ID3v2Tag()->year(), 2004u);
  EXPECT_EQ(tagged.ID3v2Tag()->track(), 5u);
  EXPECT_EQ(tagged.ID3v2Tag()->comment().toCWString(),
            std::wstring(L"A comment longer than the thirty characters of ID3v1 \u2713"));

  TId3v2Tags ours;
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_TRUE(ours.ReadFromFile(fd));
  ::close(fd);
  EXPECT_EQ(ours.Title(), title);
  EXPECT_EQ(ours.Album(), u"Album");
  EXPECT_EQ(ours.Track(), "5");
  EXPECT_EQ(ours.Comment(), u"A comment longer than the thirty characters of ID3v1 \u2713");
}

TEST_F(Mp3Writing, DecodesBackToExactlyTheSamplesEncoded) {
  for (const int rate : {32000, 44100, 48000}) {
    for (const int channels : {1, 2}) {
      for (const bool vbr : {false, true}) {
        const int frames = rate + 777;  // not a whole number of MP3 frames
        auto input = Tone(frames, channels, rate);
        output.SetEnableVBR(vbr);
        output.SetMode(mmJointStereo);
        ASSERT_EQ(Write(*input), "") << rate;
        Sealed<TWMIn> back;
        back.SetFileName(file);
        const std::string where = std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch, vbr " + std::to_string(vbr);
        EXPECT_EQ(back.TotalSamples(), frames) << where;
        const auto decoded = ReadRun(back);
        EXPECT_EQ(decoded.size(), static_cast<size_t>(frames * channels)) << where;
        const auto original = ToneSamples(frames, channels, rate, 440.0, 110.0);
        EXPECT_EQ(BestLag(original, 0, decoded, channels, 50, 2000), 0) << where;
      }
    }
  }
}

TEST_F(Mp3Writing, StereoIntoAMonoFileIsMixed) {
  auto input = Tone(5000, 2, 44100);
  output.SetMode(mmMono);
  ASSERT_EQ(Write(*input), "");
  Sealed<TWMIn> back;
  back.SetFileName(file);
  EXPECT_EQ(back.Channels(), 1);
  EXPECT_EQ(back.TotalSamples(), 5000);
}

TEST_F(Mp3Writing, RefusesWhatItCannotEncodeBeforeCreatingTheFile) {
  auto wide = Tone(1000, 2, 44100);
  wide->Bits = 24;
  EXPECT_EQ(Write(*wide), "MP3 encoding needs 16-bit samples; the input delivers 24-bit samples");
  EXPECT_FALSE(std::filesystem::exists(file));
  auto surround = Tone(1000, 6, 44100);
  EXPECT_EQ(Write(*surround), "MP3 encoding takes one or two channels; the input has 6");
  EXPECT_FALSE(std::filesystem::exists(file));
  output.SetFileName("");
  auto good = Tone(1000, 2, 44100);
  EXPECT_EQ(Write(*good), "File name is not assigned.");
}

TEST(BladeEncoder, ResultsAreTheBladeErrorNumbers) {
  BE_CONFIG config{};
  config.dwConfig = 7;  // no such configuration kind
  config.dwSampleRate = 44100;
  uint32_t samples = 0, bufferSize = 0;
  HBE_STREAM stream = 0;
  EXPECT_EQ(beInitStream(&config, &samples, &bufferSize, &stream), BE_ERR_INVALID_FORMAT);
  EXPECT_EQ(beCloseStream(12345), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(beWriteVBRHeader("nothing-was-closed.mp3"), BE_ERR_INVALID_HANDLE);

  config.dwConfig = BE_CONFIG_LAME;
  config.nMode = BE_MP3_MODE_STEREO;
  config.dwBitrate = 128;
  ASSERT_EQ(beInitStream(&config, &samples, &bufferSize, &stream), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(samples, 2304u);  // one frame of stereo samples per chunk
  std::vector<int16_t> pcm(samples, 0);
  std::vector<uint8_t> out(bufferSize);
  uint32_t produced = 0;
  EXPECT_EQ(beEncodeChunk(stream, samples * 2, pcm.data(), out.data(), &produced), BE_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(beEncodeChunk(stream, samples, pcm.data(), out.data(), &produced), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beDeinitStream(stream, out.data(), &produced), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_INVALID_HANDLE);
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
  EXPECT_EQ(Write(*input), "lame_enc.dll library could not be loaded.");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(input->Flushes, 0);  // never opened
}

TEST_F(Mp3Writing, WithoutTagLibTheFileKeepsItsId3v1Record) {
  QProcessEnvironment missing;
  missing.insert("CLIPWRIGHT_TAGLIB_LIBRARY", "/nonexistent/libtag_c.so.0");
  if (const OwnProcess where = RunInOwnProcess(missing); where != OwnProcess::Here) {
    EXPECT_EQ(where, OwnProcess::Passed);
    return;
  }
  output.Id3v2Tags().SetTitle(u"Only v1");
  output.Id3v1Tags().SetTitle("Only v1");
  auto input = Tone(3000, 2, 44100);
  ASSERT_EQ(Write(*input), "");
  const Bytes bytes = ReadFile(file);
  EXPECT_EQ(bytes[0], 0xFF);  // no ID3v2 tag before the first frame
  EXPECT_EQ(std::string(bytes.end() - 125, bytes.end() - 118), "Only v1");
}

}  // namespace
