#include <gtest/gtest.h>

#include "audio/classes/MainThread.h"

#include <vector>

#include "audio/ACS_Classes.h"
#include "tests/audio/MemoryComponents.h"

namespace {

TEST(InputBuffer, FillBufferGathersBlocksUntilFullOrEnd) {
  Sealed<MemoryInput> input(300);
  input.Init();
  std::vector<uint8_t> dest(1000);
  bool end = false;
  EXPECT_EQ(input.FillBuffer(dest.data(), 100, end), 100);
  EXPECT_FALSE(end);
  EXPECT_TRUE(std::equal(dest.begin(), dest.begin() + 100, input.data.begin()));
  EXPECT_EQ(input.FillBuffer(dest.data(), 1000, end), 200);
  EXPECT_TRUE(end);
  EXPECT_TRUE(std::equal(dest.begin(), dest.begin() + 200, input.data.begin() + 100));
  EXPECT_EQ(input.Position(), 300);
  input.Flush();
}

TEST(InputBuffer, CopyDataTakesOneBlock) {
  Sealed<MemoryInput> input(100);
  input.Init();
  std::vector<uint8_t> dest(1000);
  EXPECT_EQ(input.CopyData(dest.data(), 1000), 64);
  EXPECT_EQ(input.CopyData(dest.data(), 10), 10);
  EXPECT_EQ(dest[0], input.data[64]);
  EXPECT_EQ(input.CopyData(dest.data(), 1000), 26);
  EXPECT_EQ(input.CopyData(dest.data(), 1000), 0);
}

TEST(InputBuffer, InitFailureBecomesAudioExceptionAndEndOfData) {
  Sealed<MemoryInput> input(100);
  input.InitError = "The file name is not assigned";
  try {
    input.Init();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "The file name is not assigned");
  }
  EXPECT_TRUE(input.EndOfData());
  input.InitError.clear();
  input.Init();
  EXPECT_FALSE(input.EndOfData());
}

TEST(InputBuffer, ResetTellsFlushFailuresInsteadOfThrowing) {
  Sealed<MemoryInput> input(100);
  input.Init();
  input.FlushError = "disk gone";
  EXPECT_THROW(input.Flush(), std::runtime_error);
  std::string told;
  MainThread::SetFailureReporter([&told](const std::string& message) { told = message; });
  input.Init();
  EXPECT_NO_THROW(input.Reset());
  MainThread::SetFailureReporter(nullptr);
  EXPECT_FALSE(input.Busy());
  EXPECT_EQ(told, "disk gone");
}

}  // namespace
