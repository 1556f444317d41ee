#pragma once

#include <cstdint>
#include <optional>

/// The 10-byte header that opens an ID3v2 tag.
struct Id3v2Header {
  int version = 0;         // 2, 3 or 4 (the byte after "ID3")
  int flags = 0;
  int64_t wholeSize = 0;   // header, frames, padding and footer

  /// Version 2.2, 2.3 or 2.4 with only the flags that version defines: a
  /// layout whose frames can be read. Other tags are still skipped whole.
  bool KnownLayout() const {
    return (version == 2 && (flags & 0x3F) == 0) || (version == 3 && (flags & 0x1F) == 0) ||
           (version == 4 && (flags & 0x0F) == 0);
  }
};

/// Reads a tag header: "ID3", a version and revision other than 0xFF, and a
/// size in four syncsafe bytes, each under 0x80 (the rule decoders use).
/// Anything else is no tag, so every reader of ours agrees on where the
/// audio starts.
std::optional<Id3v2Header> ParseId3v2Header(const uint8_t* bytes);
