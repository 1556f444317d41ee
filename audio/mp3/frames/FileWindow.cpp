#include "audio/mp3/frames/FileWindow.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Error.h"
#include "platform/FdIo.h"

const uint8_t* FileWindow::At(int64_t offset, int count) {
  if (offset < 0 || count < 0 || count > kWindow || offset + count > size_) return nullptr;
  if (offset < start_ || offset + count > start_ + static_cast<int64_t>(bytes_.size())) {
    bytes_.resize(static_cast<size_t>(std::min<int64_t>(kWindow, size_ - offset)));
    const int64_t got = FdIo::ReadAt(fd_, bytes_.data(), bytes_.size(), offset);
    if (got < 0) throw Error(ErrorKind::Failed, std::string("the file could not be read: ") + ErrnoText(errno));
    bytes_.resize(static_cast<size_t>(got));  // shorter than it was: what is there counts
    start_ = offset;
    if (offset + count > start_ + got) return nullptr;
  }
  return bytes_.data() + (offset - start_);
}

int64_t FileWindow::ReadAt(int64_t offset, void* into, int64_t count) {
  const int64_t available = std::min({count, size_ - offset, kWindow});
  const uint8_t* bytes = available > 0 ? At(offset, static_cast<int>(available)) : nullptr;
  if (bytes == nullptr) return 0;
  std::memcpy(into, bytes, static_cast<size_t>(available));
  return available;
}
