#include <gtest/gtest.h>

#include "audio/formats/AudioFormat.h"
#include "app/jobs/TimeRange.h"
#include "platform/Numbers.h"

#include <string>

namespace {

TEST(TimeArgument, RangeIsHalfOpenAndRounded) {
  // 44.1 kHz: 1 s .. 2.5 s is frames 44100 .. 110249.
  auto range = RangeOfTimes(1000, 2500, 44100, 441000);
  ASSERT_TRUE(range);
  EXPECT_EQ(range->startSample, 44100);
  EXPECT_EQ(range->endSample, 110249);
  // Rounded to the nearest frame: 1 ms at 22050 Hz is 22.05 frames.
  range = RangeOfTimes(1, 3, 22050, 1000);
  ASSERT_TRUE(range);
  EXPECT_EQ(range->startSample, 22);
  EXPECT_EQ(range->endSample, 65);
  // An end past the file means its end.
  range = RangeOfTimes(0, 99000, 8000, 8000);
  ASSERT_TRUE(range);
  EXPECT_EQ(range->endSample, -1);
  EXPECT_FALSE(RangeOfTimes(2000, 2000, 8000, 80000));
  EXPECT_FALSE(RangeOfTimes(3000, 2000, 8000, 80000));
  EXPECT_FALSE(RangeOfTimes(20000, 30000, 8000, 80000));  // starts past the end
}

TEST(Formats, ByExtensionInAnyCase) {
  EXPECT_EQ(FormatOfFile("/a/Song.MP3"), AudioFormat::Mp3);
  EXPECT_EQ(FormatOfFile("x.Wav"), AudioFormat::Wav);
  EXPECT_EQ(FormatOfFile("x.wma"), AudioFormat::Wma);
  EXPECT_EQ(FormatOfFile("x.OGG"), AudioFormat::Vorbis);
  EXPECT_EQ(FormatOfFile("x.oga"), AudioFormat::Vorbis);
  EXPECT_EQ(FormatOfFile("x.Flac"), AudioFormat::Flac);
  EXPECT_EQ(FormatOfFile("x.opus"), AudioFormat::Opus);
  EXPECT_EQ(FormatOfFile("x.m4a"), AudioFormat::M4a);
  EXPECT_EQ(FormatOfFile("x.aac"), AudioFormat::M4a);
  EXPECT_EQ(FormatOfFile("x.mp4"), AudioFormat::Unknown);
  EXPECT_EQ(FormatOfFile("wav"), AudioFormat::Unknown);
}

TEST(FrameArgument, TimesSecondsAndFrameCountsRoundedToEven) {
  EXPECT_EQ(ParseFrameArgument("123456s", 44100), 123456);
  EXPECT_EQ(ParseFrameArgument("1.5", 8000), 12000);
  EXPECT_EQ(ParseFrameArgument("00:01:00.0", 8000), 480000);
  EXPECT_EQ(ParseFrameArgument("00:00:01.2345", 8000), 9876);      // any number of decimals
  EXPECT_EQ(ParseFrameArgument("0.0000625", 8000), 0);             // half a frame: to the even one, 0
  EXPECT_EQ(ParseFrameArgument("0.0001875", 8000), 2);             // one and a half: to 2
  EXPECT_EQ(ParseFrameArgument("0.00006251", 8000), 1);            // just over a half: up
  EXPECT_EQ(ParseFrameArgument("1:2:3", 1000), 3723000);
  EXPECT_EQ(ParseFrameArgument("3600.000022675736961", 44100), 158760001);
  // Minutes and seconds, seconds alone, hours with one digit, a trailing point.
  EXPECT_EQ(ParseFrameArgument("5:00", 1000), 300000);
  EXPECT_EQ(ParseFrameArgument("90:00.5", 1000), 5400500);
  EXPECT_EQ(ParseFrameArgument("1:2", 1000), 62000);
  EXPECT_EQ(ParseFrameArgument("1:2:3.", 1000), 3723000);
  EXPECT_EQ(ParseFrameArgument("5.0013", 44100), 220557);  // 220557.33
  EXPECT_EQ(ParseFrameArgument("220558s", 44100), 220558);
  // Milliseconds round as the window's times do.
  for (const int ms : {5, 15, 1234, 59999})
    EXPECT_EQ(ParseFrameArgument("0:00:" + std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 + 1000).substr(1), 44100),
              FrameOfMs(ms, 44100)) << ms;
  for (const char* bad : {"", "s", "12x", "-1", "1:2:3:4", "1.2.3", "00:123:00", "1e3", "12 s", "5:60", "1:60:00",
                          "1:2:345", ":5", "5:", "1.5s"})
    EXPECT_FALSE(ParseFrameArgument(bad, 44100)) << bad;
  EXPECT_FALSE(ParseFrameArgument("1.0", 0));
}

}  // namespace
