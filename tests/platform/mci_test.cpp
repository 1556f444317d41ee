#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mci.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

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
