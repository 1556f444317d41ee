#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/device/MediaPlayer.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WmaEncoder.h"

namespace {

class SilentPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePcmWav(file, 8000, 2, 16000);  // 2 s
    player.SetFileName(file);
  }

  TempDir dir;
  std::string file = dir.File("tone.wav");
  TMediaPlayer player{TMediaPlayer::Output::Silent};
};

TEST_F(SilentPlayer, ClosedDeviceRefusesAndIsNeverPaused) {
  EXPECT_EQ(player.Mode(), mpNotReady);
  for (auto call : {&TMediaPlayer::Play, &TMediaPlayer::Pause, &TMediaPlayer::Resume, &TMediaPlayer::Stop}) {
    try {
      (player.*call)();
      FAIL();
    } catch (const EMCIDeviceError& e) {
      EXPECT_STREQ(e.what(), "No MCI device open");
    }
  }
  EXPECT_THROW(player.Length(), EMCIDeviceError);
  EXPECT_NO_THROW(player.Close());
}

TEST_F(SilentPlayer, LengthAndModes) {
  player.Open();
  EXPECT_EQ(player.Length(), 2000);
  EXPECT_EQ(player.Mode(), mpStopped);
  player.Play();
  EXPECT_EQ(player.Mode(), mpPlaying);
  player.Pause();
  EXPECT_EQ(player.Mode(), mpPaused);
  player.Pause();  // a second Pause resumes
  EXPECT_EQ(player.Mode(), mpPlaying);
  player.Pause();
  player.Resume();
  EXPECT_EQ(player.Mode(), mpPlaying);
  player.Stop();
  EXPECT_EQ(player.Mode(), mpStopped);
  player.Close();
  EXPECT_EQ(player.Mode(), mpNotReady);
}

TEST_F(SilentPlayer, SelectionPlaysItsFramesOnceThenTheWholeFile) {
  player.Open();
  player.SetStartPos(1000);
  player.SetEndPos(1250);
  player.Play();
  ASSERT_TRUE(SpinUntil([&] { return player.Mode() == mpStopped; }));
  EXPECT_EQ(player.FramesPlayed(), 2000);  // 250 ms at 8000 Hz

  // StartPos and EndPos were used up: the next Play is the whole file.
  player.Play();
  EXPECT_EQ(player.Mode(), mpPlaying);
  ASSERT_TRUE(SpinUntil([&] { return player.FramesPlayed() > 2000; }));
  player.Stop();
}

TEST_F(SilentPlayer, ASelectionPlaysTheFramesACutOfItSaves) {
  // At 44.1 kHz, 15 ms is frame 661.5 and 25 ms frame 1102.5: a cut rounds
  // both to the nearest even frame, [662, 1102), and so does the preview.
  const std::string cd = dir.File("cd.wav");
  WritePcmWav(cd, 44100, 2, 44100);
  player.SetFileName(cd);
  player.Open();
  player.SetStartPos(15);
  player.SetEndPos(25);
  player.Play();
  ASSERT_TRUE(SpinUntil([&] { return player.Mode() == mpStopped; }));
  EXPECT_EQ(player.FramesPlayed(), 1102 - 662);
}

TEST_F(SilentPlayer, CompressedFilesPlayTheirExactLength) {
  // 1.5 s at 22050 Hz stereo: the MP3 carries its encoder delay and padding,
  // so its length is exact; WMA's is what its header tells.
  const std::vector<int16_t> tone = ToneSamples(33075, 2, 22050);
  const std::string mp3 = dir.File("tone.mp3");
  WriteBytes(mp3, EncodeMp3(tone, 2, 22050, 64, true));
  const std::string wma = dir.File("tone.wma");
  WriteWma(wma, tone, 2, 22050, 64000);
  for (const std::string& file : {mp3, wma}) {
    SCOPED_TRACE(file);
    player.SetFileName(file);
    player.Open();
    if (file == mp3) EXPECT_EQ(player.Length(), 1500);
    else EXPECT_NEAR(static_cast<double>(player.Length()), 1500.0, 100.0);
    const int64_t frames = player.Length() * 22050 / 1000;
    player.Play();
    ASSERT_TRUE(SpinUntil([&] { return player.Mode() == mpStopped; }));
    EXPECT_NEAR(static_cast<double>(player.FramesPlayed()), static_cast<double>(frames), 22.0);  // within 1 ms
    player.Close();
  }
}

TEST_F(SilentPlayer, OpenFailuresSayWhetherTheFileCannotBePlayed) {
  const std::string text = dir.File("notes.txt");
  WriteBytes(text, {'h', 'i'});
  player.SetFileName(text);
  try {
    player.Open();
    FAIL();
  } catch (const EMCIDeviceError& e) {
    EXPECT_NE(std::string(e.what()).find("MCI"), std::string::npos);
  }
  const std::string junk = dir.File("junk.wav");
  WriteBytes(junk, std::vector<uint8_t>(100, 'j'));
  player.SetFileName(junk);
  try {
    player.Open();
    FAIL();
  } catch (const EMCIDeviceError& e) {
    EXPECT_NE(std::string(e.what()).find("MCI"), std::string::npos);
  }
  player.SetFileName(dir.File("missing.wav"));
  try {
    player.Open();
    FAIL();
  } catch (const EMCIDeviceError& e) {
    EXPECT_EQ(std::string(e.what()).find("MCI"), std::string::npos);  // unreadable, not unplayable
  }
  EXPECT_EQ(player.Mode(), mpNotReady);
}

}  // namespace
