#include "platform/wmvattributes.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Ffmpeg.h"
#include "platform/Utf.h"

namespace wm {

int32_t NumberAttribute(AttrType kind, int64_t number, uint16_t bytes, AttrType* type, uint8_t* value,
                        uint16_t* length) {
  if (type) *type = kind;
  if (value == nullptr) {
    *length = bytes;
    return S_OK;
  }
  if (*length < bytes) return E_FAIL;
  std::memcpy(value, &number, bytes);  // little-endian: the low bytes first
  *length = bytes;
  return S_OK;
}

int32_t TextAttribute(const std::u16string& text, AttrType* type, uint8_t* value, uint16_t* length) {
  if (text.empty()) return ASF_E_NOTFOUND;
  const auto bytes = static_cast<uint16_t>(std::min<size_t>((text.size() + 1) * 2, 65534));
  if (type) *type = AttrType::String;
  if (value == nullptr) {
    *length = bytes;
    return S_OK;
  }
  if (*length < bytes) return E_FAIL;
  std::memcpy(value, text.c_str(), bytes);
  *length = bytes;
  return S_OK;
}

std::u16string MetadataText(const AVFormatContext* format, int audioIndex, const std::u16string& name) {
  std::vector<const char*> keys;
  if (name == u"Author") keys = {"artist", "Author"};
  else if (name == u"Title") keys = {"title"};
  else if (name == u"WM/AlbumTitle") keys = {"album", "WM/AlbumTitle"};
  else if (name == u"WM/Genre") keys = {"genre", "WM/Genre"};
  else if (name == u"WM/Track") keys = {"WM/Track", "track", "WM/TrackNumber"};
  else if (name == u"WM/Year") keys = {"WM/Year", "date", "year", "TYER"};
  else if (name == u"Copyright") keys = {"copyright"};
  else if (name == u"Description") keys = {"comment", "Description"};
  for (const char* key : keys) {
    for (AVDictionary* dictionary : {format->metadata, audioIndex >= 0 ? format->streams[audioIndex]->metadata : nullptr}) {
      const AVDictionaryEntry* entry = Ffmpeg().av_dict_get(dictionary, key, nullptr, 0);
      if (entry && entry->value && entry->value[0]) return Utf::Utf8ToUtf16(entry->value);
    }
  }
  return {};
}

}  // namespace wm
