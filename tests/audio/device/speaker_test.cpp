// Each test here sets up the sound system its own way before first using it,
// so each runs in a process of its own, whatever ran before it.
#include <gtest/gtest.h>

#include <string>

#include "audio/device/MediaPlayer.h"
#include "tests/support/OwnProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

TEST(SpeakerPlayer, WithoutASoundServerOpenFailsWithMci) {
  QProcessEnvironment noServer;
  noServer.insert("PULSE_SERVER", "unix:/nonexistent/clipwright/native");
  if (const OwnProcess where = RunInOwnProcess(noServer); where != OwnProcess::Here) {
    EXPECT_EQ(where, OwnProcess::Passed);
    return;
  }
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
    EXPECT_EQ(e.reason(), EMCIDeviceError::Reason::NoOutputDevice);
  }
  EXPECT_EQ(player.Mode(), mpNotReady);
  EXPECT_THROW(player.Play(), EMCIDeviceError);
}

}  // namespace
