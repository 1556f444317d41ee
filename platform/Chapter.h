#pragma once

#include <cstdint>
#include <string>

namespace media {

/// A named part of a file (an audiobook's chapter), in samples of the
/// file's rate from its first delivered sample: [start, end).
struct Chapter {
  int64_t start = 0;
  int64_t end = 0;
  std::string title;
};

}  // namespace media
