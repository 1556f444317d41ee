#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// The play length of a media file in whole seconds (truncated), as the
/// container tells it; empty when the file cannot be read or has no length.
std::optional<int64_t> MediaLengthSeconds(const std::string& fileName);
