#include "audio/mp3/MP3In.h"

void TMP3In::OpenFile() {
  std::lock_guard lock(FileLock);
  const bool wasOpen = OpenCount > 0;
  TWMIn::OpenFile();
  if (wasOpen || OpenCount == 0) return;
  AnnouncedExtra_ = SampleRate_ / 3;
  TotalSamples_ += AnnouncedExtra_;
  Size_ += static_cast<int64_t>(BitsPerSample_ / 8) * Channels_ * (SampleRate_ / 3);
}
