#include "app/FileLength.h"

#include <algorithm>
#include <limits>

#include "app/jobs/Global.h"
#include "audio/device/MediaPlayer.h"

int32_t FileLengthMs(const std::string& fileName, TMediaPlayer& player) {
  const std::string duration = GetFileDurationText(fileName);
  if (duration != "00:00:00") return TimeTextToMs(duration);
  player.SetFileName(fileName);
  player.Open();
  const int64_t length = player.Length();
  player.Close();
  return static_cast<int32_t>(std::min<int64_t>(length, std::numeric_limits<int32_t>::max()));
}
