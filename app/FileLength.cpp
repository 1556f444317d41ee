#include "app/FileLength.h"

#include <algorithm>
#include <limits>

#include "app/jobs/CutJob.h"
#include "audio/device/MediaPlayer.h"

int32_t FileLengthMs(const std::string& fileName, TMediaPlayer& player) {
  // The length of what our inputs read, never a guess: a file none of them
  // can read is refused here, naming it.
  const int64_t shown = ShownLengthMs(fileName);
  if (shown > 0) return static_cast<int32_t>(std::min<int64_t>(shown, std::numeric_limits<int32_t>::max()));
  player.SetFileName(fileName);
  player.Open();
  const int64_t length = player.Length();
  player.Close();
  return static_cast<int32_t>(std::min<int64_t>(length, std::numeric_limits<int32_t>::max()));
}
