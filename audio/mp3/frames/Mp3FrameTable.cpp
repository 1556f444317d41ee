#include "audio/mp3/frames/Mp3FrameTable.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Error.h"
#include "platform/FdIo.h"
#include "platform/Mp3FrameDecoder.h"

void Mp3FrameTable::Add(int64_t offset, const Mp3FrameHeader& header) {
  offsets_.push_back(offset);
  lengths_.push_back(static_cast<uint16_t>(header.length));
  mainData_.push_back(static_cast<uint16_t>(std::max(header.length - 4 - (header.crc ? 2 : 0) - header.SideInfoSize(), 0)));
}

int64_t Mp3FrameTable::WarmUpStart(int64_t first) const {
  // The frames that hold the first one's bit reservoir (at most 511 bytes
  // back) and the overlap of its first granule. The decoder keeps a frame's
  // main data only when that frame itself decoded, so the first frames after
  // a reset may pass nothing on: two reservoirs' worth and at least four
  // frames.
  int64_t warm = first;
  for (int64_t held = 0; warm > 0 && (first - warm < 4 || held < 1024); held += mainData_[static_cast<size_t>(--warm)]) {}
  return warm;
}

void Mp3FrameTable::Decode(int fd, Mp3FrameDecoder& decoder, int64_t first, int64_t last,
                           const std::function<void(int64_t, const int16_t*, int)>& frame,
                           const std::function<bool()>& cancelled) const {
  last = std::min(last, Count() - 1);
  if (first > last) return;
  decoder.Reset();
  constexpr int64_t kReadBytes = 1 << 21;
  std::vector<uint8_t> bytes;
  std::vector<int16_t> samples;
  for (int64_t f = WarmUpStart(first); f <= last && !(cancelled && cancelled());) {
    // One read for a run of frames.
    const int64_t start = offsets_[static_cast<size_t>(f)];
    int64_t end = f + 1;
    while (end <= last && offsets_[static_cast<size_t>(end)] + lengths_[static_cast<size_t>(end)] - start <= kReadBytes) ++end;
    const int64_t stop = offsets_[static_cast<size_t>(end - 1)] + lengths_[static_cast<size_t>(end - 1)];
    bytes.resize(static_cast<size_t>(stop - start));
    const int64_t got = FdIo::ReadAt(fd, bytes.data(), bytes.size(), start);
    if (got != static_cast<int64_t>(bytes.size()))
      throw Error(ErrorKind::Failed, std::string("the file could not be read: ") + ErrnoText(got < 0 ? errno : EIO));
    for (; f < end; ++f) {
      samples.clear();
      const int made = decoder.Decode(bytes.data() + (offsets_[static_cast<size_t>(f)] - start), lengths_[static_cast<size_t>(f)], samples);
      if (f >= first) frame(f, samples.data(), made);
    }
  }
}
