#include <gtest/gtest.h>

#include <string>

#include "platform/mci.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

TEST(SpeakerPlayer, WithoutAnOutputDeviceOpenFailsWithMci) {
  // Test machines have no sound server: the speakers cannot be had.
  TempDir dir;
  const std::string file = dir.File("tone.wav");
  WritePcmWav(file, 8000, 1, 800);
  TMediaPlayer player(TMediaPlayer::Output::Speakers);
  player.SetFileName(file);
  try {
    player.Open();
    // A machine with sound plays it; that is fine too.
    player.Play();
    player.Stop();
  } catch (const EMCIDeviceError& e) {
    EXPECT_NE(std::string(e.what()).find("MCI"), std::string::npos);
  }
}

}  // namespace
