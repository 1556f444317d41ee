#include <gtest/gtest.h>

#include <vector>

#include "audio/ACS_Classes.h"
#include "tests/audio/RawFileIn.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

/// Frame n of the test file holds n in both channels (as 16-bit samples).
std::vector<uint8_t> NumberedFrames(int frames) {
  std::vector<uint8_t> bytes;
  for (int n = 0; n < frames; ++n)
    for (int channel = 0; channel < 2; ++channel) bytes.insert(bytes.end(), {uint8_t(n & 0xFF), uint8_t(n >> 8)});
  return bytes;
}

class FileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(file, NumberedFrames(1000));
    input.SetFileName(file);
  }

  /// One run: Init, everything GetData delivers, Flush.
  std::vector<uint8_t> Run(uint32_t ask = 333) {
    std::vector<uint8_t> out;
    input.Init();
    for (;;) {
      void* block = nullptr;
      uint32_t bytes = ask;
      input.GetData(block, bytes);
      if (bytes == 0) break;
      out.insert(out.end(), static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + bytes);
    }
    input.Flush();
    return out;
  }

  int FirstFrame(const std::vector<uint8_t>& bytes) { return bytes[0] | (bytes[1] << 8); }

  TempDir dir;
  std::string file = dir.File("numbers.raw");
  Sealed<RawFileIn> input;
};

TEST_F(FileInput, WholeFileByDefault) {
  EXPECT_EQ(input.TotalSamples(), 1000);
  EXPECT_EQ(input.TotalTime(), 0);
  EXPECT_EQ(input.Channels(), 2);
  EXPECT_EQ(input.opens, 1);  // the format getters open once
  const auto data = Run();
  EXPECT_EQ(data, NumberedFrames(1000));
  EXPECT_EQ(input.Size(), 4000);
}

TEST_F(FileInput, RangeDeliversExactlyItsFrames) {
  input.SetStartSample(100);
  input.SetEndSample(199);
  input.Init();
  EXPECT_EQ(input.Size(), 400);
  EXPECT_EQ(input.TotalSamples(), 100);
  input.Flush();

  input.SetStartSample(100);
  input.SetEndSample(199);
  const auto data = Run(64);
  ASSERT_EQ(data.size(), 400u);
  EXPECT_EQ(FirstFrame(data), 100);
  EXPECT_EQ(data[396] | (data[397] << 8), 199);
  // The range is used up by the run.
  EXPECT_EQ(input.StartSample(), 0);
  EXPECT_EQ(input.EndSample(), -1);
  EXPECT_EQ(Run().size(), 4000u);
}

TEST_F(FileInput, EndBeyondTheDataMeansTheEnd) {
  input.SetStartSample(900);
  input.SetEndSample(5000);
  const auto data = Run();
  ASSERT_EQ(data.size(), 400u);
  EXPECT_EQ(FirstFrame(data), 900);
  // To the end: exactly the frames that remain, so writers pad nothing.
  input.SetStartSample(900);
  input.Init();
  EXPECT_EQ(input.Size(), 100 * 4);
  input.Flush();
}

TEST_F(FileInput, ImpossibleRangesDeliverNothing) {
  input.SetStartSample(500);
  input.SetEndSample(100);
  EXPECT_TRUE(Run().empty());
  input.SetStartSample(5000);
  EXPECT_TRUE(Run().empty());
}

TEST_F(FileInput, EmptyFileHasNoSamples) {
  WriteBytes(file, {});
  input.SetFileName(file);
  EXPECT_EQ(input.TotalSamples(), -1);
  EXPECT_TRUE(Run().empty());
  input.Init();
  EXPECT_EQ(input.SampleRate(), 8000);  // the stand-in format of an unreadable file during a run
  EXPECT_EQ(input.Size(), 0);
  input.Flush();
}

TEST_F(FileInput, LoopStartsAgainAndNeverEnds) {
  input.SetStartSample(10);
  input.SetEndSample(19);
  input.SetLoop(true);
  input.Init();
  std::vector<int> firsts;
  for (int i = 0; i < 6; ++i) {
    void* block = nullptr;
    uint32_t bytes = 16;  // 4 frames
    input.GetData(block, bytes);
    ASSERT_GT(bytes, 0u);
    firsts.push_back(FirstFrame(std::vector<uint8_t>(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + 2)));
  }
  input.Flush();
  // 10..13, 14..17, then 18..21 reaches the end and is dropped: 10 again.
  EXPECT_EQ(firsts, (std::vector<int>{10, 14, 10, 14, 10, 14}));
}

TEST_F(FileInput, ErrorsOfInit) {
  Sealed<RawFileIn> unnamed;
  try {
    unnamed.Init();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "The file name is not assigned");
  }
  input.Init();
  try {
    input.Init();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "The component is Busy");
  }
  input.Flush();

  Sealed<RawFileIn> missing;
  missing.SetFileName(dir.File("missing.raw"));
  try {
    missing.Init();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_EQ(std::string(e.what()), "No such file or directory: " + dir.File("missing.raw"));
  }
}

TEST_F(FileInput, SeekMovesWithinTheRun) {
  EXPECT_TRUE(input.Seek(50));  // before a run: the start of the next one
  EXPECT_EQ(input.StartSample(), 50);
  input.Init();
  EXPECT_TRUE(input.Seek(10));  // during a run: relative to StartSample
  void* block = nullptr;
  uint32_t bytes = 4;
  input.GetData(block, bytes);
  EXPECT_EQ(static_cast<uint8_t*>(block)[0], 60);
  EXPECT_FALSE(input.Seek(5000));
  input.Flush();
}

TEST(FileOutput, OnlyAppendingWritersKeepAppendMode) {
  struct NullOut : TAuTaggedFileOut {
    bool DoOutput(bool) override { return false; }
    void Done() override {}
    void Prepare() override {}
  };
  Sealed<NullOut> out;
  out.SetFileMode(foAppend);
  EXPECT_EQ(out.FileMode(), foRewrite);

  TId3v2Tags source;
  source.SetTitle(u"Copied");
  TId3v2Tags* owned = &out.Id3v2Tags();
  out.SetId3v2Tags(source);
  EXPECT_EQ(&out.Id3v2Tags(), owned);
  EXPECT_EQ(out.Id3v2Tags().Title(), u"Copied");
}

TEST(FileStream, LocksKeepReadFilesFromWriters) {
  TempDir dir;
  const std::string file = dir.File("locked.raw");
  WriteBytes(file, std::vector<uint8_t>(100, 7));
  {
    TAuFileStream reader(file, TFileMode::Read);
    TAuFileStream secondReader(file, TFileMode::Read);  // readers share
    try {
      TAuFileStream writer(file, TFileMode::Create);
      FAIL() << "a writer must not open a file being read";
    } catch (const EAuException& e) {
      EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos);
    }
    EXPECT_EQ(reader.Size(), 100);  // not emptied
  }
  {
    TAuFileStream alone(file, TFileMode::ReadAlone);  // shares nothing
    EXPECT_THROW(TAuFileStream(file, TFileMode::Read), EAuException);
  }
  TAuFileStream writer(file, TFileMode::Create);
  EXPECT_EQ(writer.Size(), 0);
  EXPECT_EQ(writer.Write("abc", 3), 3);
  EXPECT_THROW(TAuFileStream(file, TFileMode::Read), EAuException);
  EXPECT_THROW(TAuFileStream(dir.File("missing"), TFileMode::Read), EAuException);
  EXPECT_THROW(TAuFileStream(dir.Path().string(), TFileMode::Read), EAuException);  // a folder
}

}  // namespace
