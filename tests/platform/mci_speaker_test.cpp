// Each test here sets up the sound system its own way before first using it;
// CTest runs every test in a process of its own.
#include <gtest/gtest.h>

#include <string>

#include "platform/mci.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

TEST(SpeakerPlayer, WithoutASoundServerOpenFailsWithMci) {
  qputenv("PULSE_SERVER", "unix:/nonexistent/clipwright/native");
  TempDir dir;
  const std::string file = dir.File("tone.wav");
  WritePcmWav(file, 8000, 1, 800);
  TMediaPlayer player(TMediaPlayer::Output::Speakers);
  player.SetFileName(file);
  try {
    player.Open();
    FAIL() << "opened without a sound server";
  } catch (const EMCIDeviceError& e) {
    EXPECT_NE(std::string(e.what()).find("MCI"), std::string::npos) << e.what();
  }
  EXPECT_EQ(player.Mode(), mpNotReady);
  EXPECT_THROW(player.Play(), EMCIDeviceError);
}

}  // namespace
