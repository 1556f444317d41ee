#include <gtest/gtest.h>

#include <optional>

#include <cstdlib>
#include <stdexcept>

#include "app/jobs/CutJob.h"
#include "app/jobs/Global.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

TEST(TimeText, MsToTimeTextTruncatesAndWrapsHours) {
  EXPECT_EQ(MsToTimeText(0), "00:00:00.0");
  EXPECT_EQ(MsToTimeText(59), "00:00:00.0");
  EXPECT_EQ(MsToTimeText(1999), "00:00:01.9");
  EXPECT_EQ(MsToTimeText(59999), "00:00:59.9");
  EXPECT_EQ(MsToTimeText(3723456), "01:02:03.4");
  EXPECT_EQ(MsToTimeText(360000000), "100:00:00.0");
  EXPECT_EQ(MsToTimeText(256 * 3600000 + 1000), "00:00:01.0");  // hours count modulo 256
  EXPECT_EQ(MsToTimeText(-5000), "00:00:00.0");
  EXPECT_EQ(PositionToTimeText(7), "00:00:03.5");
  EXPECT_EQ(PositionToTimeText(-1), "00:00:00.0");
}

TEST(TimeText, RoundTripBelowHundredHoursLosesOnlyHundredths) {
  for (int64_t x = 0; x < 360000000; x += 9973) {
    const auto ms = static_cast<int32_t>(x);
    ASSERT_EQ(TimeTextToMs(MsToTimeText(ms)), ms - ms % 100) << ms;
  }
  for (int32_t p = 0; p < 20000; ++p) ASSERT_EQ(TimeTextToMs(PositionToTimeText(p)), p * 500);
}

TEST(TimeText, TimeTextToMsReadsLooseForms) {
  EXPECT_EQ(TimeTextToMs("00:03:25"), 205000);
  EXPECT_EQ(TimeTextToMs("1:2:3.4"), 3723400);
  EXPECT_EQ(TimeTextToMs("00:00:10."), 10000);
  EXPECT_EQ(TimeTextToMs("00:99:00.0"), 5940000);
  EXPECT_EQ(TimeTextToMs("0:0:0."), 0);
  EXPECT_EQ(TimeTextToMs(""), 0);
  EXPECT_EQ(TimeTextToMs("ab:cd:ef.g"), 0);
}

TEST(TimeText, MillisecondsAreReadAndWritten) {
  EXPECT_EQ(TimeTextToMs("00:00:01.234"), 1234);
  EXPECT_EQ(TimeTextToMs("00:00:01.23"), 1230);
  EXPECT_EQ(TimeTextToMs("01:00:00.005"), 3600005);
  EXPECT_EQ(MsToMillisecondText(3723456), "01:02:03.456");
  EXPECT_EQ(MsToMillisecondText(5), "00:00:00.005");
  EXPECT_EQ(MsToExactTimeText(1200), "00:00:01.2");  // on a tenth: as before
  EXPECT_EQ(MsToExactTimeText(1201), "00:00:01.201");
  for (int32_t ms = 0; ms < 5000; ms += 7) ASSERT_EQ(TimeTextToMs(MsToExactTimeText(ms)), ms) << ms;
  EXPECT_TRUE(IsFullTimeText("00:00:01.234"));
  EXPECT_FALSE(IsFullTimeText("00:00:01.23"));
  EXPECT_FALSE(IsFullTimeText("00:00:01.2x4"));
}

TEST(TimeText, NormalizeTimeText) {
  EXPECT_EQ(NormalizeTimeText("1:2:3.4"), "01:02:03.4");
  EXPECT_EQ(NormalizeTimeText("1:2:3.45"), "01:02:03.45");
  EXPECT_EQ(NormalizeTimeText("1:2:3.4567"), "01:02:03.456");
  EXPECT_EQ(NormalizeTimeText("00:03:25"), "00:03:25");
  EXPECT_EQ(NormalizeTimeText("1:2:3"), "01:02:3");
  EXPECT_EQ(NormalizeTimeText("x:2:3."), "00:02:03.");
}

TEST(TimeText, IsTimeTextAcceptsAndRejects) {
  for (const char* good : {"1:2:3.4", "01:02:03.4", "1:2:3.", "0:0:0.", "99:59:59.9", "00:99:99.9"})
    EXPECT_TRUE(IsTimeText(good)) << good;
  for (const char* good : {"01:02:03.45", "01:02:03.456"}) EXPECT_TRUE(IsTimeText(good)) << good;
  for (const char* bad : {"", "01:02:03", "01:02:03.4567", "100:00:00.0", "1:2:3:4.5", "1::3.4", "a1:02:03.4",
                          " 1:02:03.4", "01:02:03.-", "01:02.03:4"})
    EXPECT_FALSE(IsTimeText(bad)) << bad;
}

TEST(TimeText, IsFullTimeTextChecksShapeOnly) {
  EXPECT_TRUE(IsFullTimeText("01:02:03.4"));
  EXPECT_TRUE(IsFullTimeText("ab:cd:ef.g"));
  EXPECT_FALSE(IsFullTimeText("1:2:3.4"));
  EXPECT_FALSE(IsFullTimeText("01:02:03.45"));
  EXPECT_FALSE(IsFullTimeText("01.02:03:4x"));
}

TEST(TimeText, TwoDigits) {
  EXPECT_EQ(TwoDigits(0), "00");
  EXPECT_EQ(TwoDigits(9), "09");
  EXPECT_EQ(TwoDigits(10), "10");
  EXPECT_EQ(TwoDigits(123), "123");
  EXPECT_EQ(TwoDigits(-5), "0-5");
  EXPECT_EQ(TwoDigitsOfText("7"), "07");
  EXPECT_EQ(TwoDigitsOfText("x"), "00");
  EXPECT_EQ(TwoDigitsOfText(""), "00");
  EXPECT_EQ(TwoDigitsOfText("99999999999"), "00");
}

TEST(BitRate, MapsStandardRatesAndFallsBack) {
  EXPECT_EQ(BitRateToMP3BitRate(0), mbrAuto);
  EXPECT_EQ(BitRateToMP3BitRate(1), mbrAuto);
  EXPECT_EQ(BitRateToMP3BitRate(31999), mbrAuto);
  EXPECT_EQ(BitRateToMP3BitRate(32000), mbr32);
  EXPECT_EQ(BitRateToMP3BitRate(32001), mbr128);
  EXPECT_EQ(BitRateToMP3BitRate(128000), mbr128);
  EXPECT_EQ(BitRateToMP3BitRate(128001), mbr128);
  EXPECT_EQ(BitRateToMP3BitRate(130000), mbr128);
  EXPECT_EQ(BitRateToMP3BitRate(144000), mbr144);
  EXPECT_EQ(BitRateToMP3BitRate(192000), mbr192);
  EXPECT_EQ(BitRateToMP3BitRate(320000), mbr320);
  EXPECT_EQ(BitRateToMP3BitRate(320001), mbr128);
  EXPECT_EQ(BitRateToMP3BitRate(-1), mbr128);
  EXPECT_EQ(static_cast<int>(mbr320), 15);
}

TEST(AppDataFolder, IsTheXdgDataHomeWithATrailingSlash) {
  // Both variables are put back as they were, for the tests that follow.
  const auto save = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const auto restore = [](const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  };
  const auto dataHome = save("XDG_DATA_HOME"), home = save("HOME");
  setenv("XDG_DATA_HOME", "/tmp/xdg-data", 1);
  EXPECT_EQ(GetAppDataFolder(), "/tmp/xdg-data/");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(GetAppDataFolder(), "/home/someone/.local/share/");
  restore("XDG_DATA_HOME", dataHome);
  restore("HOME", home);
}

TEST(ShownLength, WholeSecondsOfWhatOurInputsRead) {
  TempDir dir;
  const std::string wav = dir.File("tone.wav");
  WritePcmWav(wav, 8000, 1, 85600);  // 10.7 s
  EXPECT_EQ(ShownLengthMs(wav), 10000);
  WritePcmWav(wav, 8000, 2, 8000 * 3725);  // 1 h 2 min 5 s
  EXPECT_EQ(ShownLengthMs(wav), 3725000);
  WritePcmWav(wav, 8000, 1, 4000);  // under a second: the windows ask the device
  EXPECT_EQ(ShownLengthMs(wav), 0);
}

TEST(ShownLength, UnreadableAndMissingFilesAreRefusedByName) {
  TempDir dir;
  const std::string junk = dir.File("junk.mp3");
  WriteBytes(junk, std::vector<uint8_t>(1000, 0x17));
  EXPECT_THROW(ShownLengthMs(junk), JobRefused);
  WriteBytes(junk, {});
  EXPECT_THROW(ShownLengthMs(junk), JobRefused);
  try {
    ShownLengthMs(dir.File("missing.wav"));
    FAIL() << "a missing file has a length";
  } catch (const JobRefused& e) {
    EXPECT_NE(std::string(e.what()).find("missing.wav"), std::string::npos) << e.what();
  }
}

}  // namespace
