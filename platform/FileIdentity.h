#pragma once

#include <string>

namespace media {

/// What tells an open file from any other, and from itself once changed:
/// its device, inode, size and change time. Empty when it cannot be told.
/// Facts learned by reading a whole file are remembered under it.
std::string FileIdentity(int fd);

}  // namespace media
