#pragma once

#include <cstdint>
#include <string>

namespace media {

/// Sets how long an MP4 file with one track plays, in its movie's time
/// scale: the movie header's, the track header's and the last edit's
/// duration, in place. The muxer ends them with the last packet; a cut ends
/// inside it. Throws std::runtime_error when the boxes are not found.
void SetEditLength(const std::string& fileName, int64_t duration);

}  // namespace media
