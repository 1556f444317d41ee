#pragma once
// Answers to header-attribute requests of the sync reader: numbers, and the
// texts of a file's tags under their Windows Media names. Inside this folder.

#include <cstdint>
#include <string>

#include "platform/wmvcore.h"

struct AVFormatContext;

namespace wm {

/// A number of `bytes` bytes (little-endian), or its length when `value` is null.
int32_t NumberAttribute(AttrType kind, int64_t number, uint16_t bytes, AttrType* type, uint8_t* value,
                        uint16_t* length);
/// A text with its NUL, or its length when `value` is null; ASF_E_NOTFOUND when empty.
int32_t TextAttribute(const std::u16string& text, AttrType* type, uint8_t* value, uint16_t* length);
/// The attribute `name` ("Author", "WM/AlbumTitle", ...) from the container's
/// metadata (ID3 for MP3, ASF for WMA) or the audio stream's; empty when absent.
std::u16string MetadataText(const AVFormatContext* format, int audioIndex, const std::u16string& name);

}  // namespace wm
