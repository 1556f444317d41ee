// The cut job's own rules: thumbs to frames, tag copying, the MP3 settings.
#include <gtest/gtest.h>

#include "app/jobs/CutJob.h"
#include "tests/jobs/RunCut.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/formats/SettingsCopy.h"
#include "app/jobs/TargetFile.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FileBytes.h"
#include <filesystem>
#include "audio/ACS_LAME.h"
#include "audio/ACS_Tags.h"
#include "audio/ACS_smpeg.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

TEST(CutJob, TheSelectionMapsToItsExactFrames) {
  const FrameRange range = RangeOfSelection(5000, 9300, 10500, 8000);
  EXPECT_EQ(range.startSample, 40000);  // 5.0 s
  EXPECT_EQ(range.endSample, 74399);    // up to 9.3 s
  EXPECT_EQ(RangeOfSelection(0, 10500, 10500, 44100).endSample, -1);  // the end thumb at Max: the end of the file
  EXPECT_EQ(RangeOfSelection(0, 0, 0, 44100).endSample, -1);          // a file under half a second
  EXPECT_EQ(RangeOfSelection(500, 1500, 10500, 44100).startSample, 22050);
}

TEST(CutJob, Id3v1FieldsFromId3v2) {
  TId3v2Tags from;
  from.SetArtist(u"Art\u00e9 \u65e5");
  from.SetYear("2004");
  from.SetTrack("3/12");
  from.SetTitle(u"Title");
  from.SetGenre(u"Jazz");
  TId3v1Tags to;
  FillId3v1Fields(from, to);
  EXPECT_EQ(to.Artist(), "Art\xe9 ?");
  EXPECT_EQ(to.Year(), 2004);
  EXPECT_EQ(to.Track(), 0);  // "3/12" is not a number
  EXPECT_EQ(to.Title(), "Title");
  EXPECT_EQ(to.Genre(), "Jazz");
  from.SetYear("abc");
  from.SetTrack("7");
  FillId3v1Fields(from, to);
  EXPECT_EQ(to.Year(), 0);
  EXPECT_EQ(to.Track(), 7);

  TId3v2Tags copy;
  from.SetLink(u"http://example.org");
  CopyId3v2Fields(from, copy);
  EXPECT_EQ(copy.Artist(), from.Artist());
  EXPECT_EQ(copy.Link(), u"http://example.org");
  EXPECT_EQ(copy.Track(), "7");
}

TEST(CutJob, Mp3SettingsComeFromTheSource) {
  TempDir dir;
  const std::string vbr = dir.File("vbr.mp3");
  WriteBytes(vbr, EncodeMp3(ToneSamples(44100 * 2, 1, 44100), 1, 44100, 128, true, true));
  const FormatEntry& mp3 = *FindFormat(AudioFormat::Mp3);
  auto input = mp3.newInput();
  auto made = mp3.newOutput();
  auto* output = dynamic_cast<TMP3Out*>(made.get());
  ASSERT_NE(output, nullptr);
  output->SetMode(mmStereo);
  PrepareCut(*FindFormat(AudioFormat::Mp3), *input, *output, vbr, FrameRange{}, dir.File("out.mp3"));
  EXPECT_EQ(output->BitRate(), mbr128);  // the average of a VBR file is no standard rate
  EXPECT_TRUE(output->EnableVBR());
  EXPECT_EQ(output->Mode(), mmMono);
  EXPECT_EQ(output->Input(), input.get());
  output->SetInput(nullptr);

  const std::string junk = dir.File("junk.mp3");
  WriteBytes(junk, std::vector<uint8_t>(5000, 'z'));
  try {
    PrepareCut(*FindFormat(AudioFormat::Mp3), *input, *output, junk, FrameRange{}, dir.File("out.mp3"));
    FAIL() << "a file without MPEG frames was prepared";
  } catch (const JobRefused& e) {
    // Not MPEG audio at all: the cause, then which file it is.
    EXPECT_EQ(std::string(e.what()),
              "no MPEG audio frame was found: the file is not an MP3 file, or it is damaged: " + junk);
  }
}

TEST(CutJob, AnAsynchronousStopIsNoSuccess) {
  // A cut of an MP3 source stopped while it runs: OnDone comes, the
  // temporary file goes and the old target stays.
  TempDir dir;
  const std::string source = dir.File("long.mp3"), target = dir.File("cut.mp3");
  WriteBytes(source, EncodeMp3(ToneSamples(44100 * 60, 2, 44100), 2, 44100, 128, true));
  WriteBytes(target, {'o', 'l', 'd'});
  const std::string failure = RunCut(source, target, 0, 60000, [](Job& job) { job.Stop(); });
  EXPECT_NE(failure.find("stopped before the end"), std::string::npos) << failure;
  EXPECT_NE(failure.find(target), std::string::npos) << failure;
  EXPECT_EQ(ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(entry.path().filename().string().rfind(".clipwright-", 0), 0u) << entry.path();
}

}  // namespace
