#include "audio/tags/Id3v2Tags.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <cstring>
#include <vector>

#include "platform/FdIo.h"
#include "audio/tags/TagText.h"
#include "platform/ByteOrder.h"
#include "audio/mp3/frames/Id3v2Header.h"

namespace {

bool ReadHeader(int fd, Id3v2Header& header) {
  uint8_t bytes[10];
  if (FdIo::Read(fd, bytes, sizeof bytes) != static_cast<int64_t>(sizeof bytes)) return false;
  const auto parsed = ParseId3v2Header(bytes);
  if (!parsed || !parsed->KnownLayout()) return false;
  header = *parsed;
  return true;
}

/// Text frames larger than this are not text anyone wrote by hand: they are skipped, not read.
constexpr uint32_t kLargestTextFrame = 1 << 20;

std::u16string Utf16Until0(const uint8_t* data, size_t size, bool bigEndian) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto c = static_cast<char16_t>(bigEndian ? (data[i] << 8) | data[i + 1] : data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::string BytesUntil0(const uint8_t* data, size_t size) {
  const auto* end = std::find(data, data + size, 0);
  return std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(end - data));
}

/// Text of an ID3v2 text encoding (0 Latin-1, 1 UTF-16 with or without a
/// byte-order mark, 2 UTF-16BE, 3 UTF-8), up to its terminator; nothing for
/// an unknown encoding.
std::optional<std::u16string> DecodeText(uint8_t encoding, const uint8_t* text, size_t length) {
  switch (encoding) {
    case 0: return TagText::Latin1ToUtf16(BytesUntil0(text, length));
    case 1: {
      const bool littleMark = length >= 2 && text[0] == 0xFF && text[1] == 0xFE;
      const bool bigMark = length >= 2 && text[0] == 0xFE && text[1] == 0xFF;
      if (littleMark || bigMark) return Utf16Until0(text + 2, length - 2, bigMark);
      return Utf16Until0(text, length, false);
    }
    case 2: return Utf16Until0(text, length, true);
    case 3: return TagText::Utf8ToUtf16(BytesUntil0(text, length));
    default: return std::nullopt;
  }
}

/// Where the text after a terminated description starts: after a 0 byte
/// (Latin-1, UTF-8) or an aligned pair of 0 bytes (UTF-16).
size_t AfterTerminator(uint8_t encoding, const uint8_t* data, size_t size) {
  const bool wide = encoding == 1 || encoding == 2;
  for (size_t i = 0; wide ? i + 1 < size : i < size; i += wide ? 2 : 1)
    if (data[i] == 0 && (!wide || data[i + 1] == 0)) return i + (wide ? 2 : 1);
  return size;
}

void PutSyncsafe(uint8_t* out, uint32_t value) {
  for (int i = 3; i >= 0; --i, value >>= 7) out[i] = value & 0x7F;
}

/// Moves everything in the file `by` bytes further in, from the end backwards.
bool ShiftContent(int fd, int64_t oldSize, int64_t by) {
  std::vector<uint8_t> block(1 << 20);
  int64_t remaining = oldSize;
  while (remaining > 0) {
    const int64_t chunk = std::min<int64_t>(remaining, static_cast<int64_t>(block.size()));
    const int64_t from = remaining - chunk;
    if (::pread(fd, block.data(), static_cast<size_t>(chunk), from) != chunk) return false;
    if (::pwrite(fd, block.data(), static_cast<size_t>(chunk), from + by) != chunk) return false;
    remaining = from;
  }
  return true;
}

}  // namespace

const TId3v2Tags::Field TId3v2Tags::kFields[12] = {
    {"TAL", "TALB", true}, {"TP1", "TPE1", true}, {"TCO", "TCON", true}, {"TT2", "TIT2", true},
    {"TRK", "TRCK", false}, {"TYE", "TYER", false}, {"COM", "COMM", true}, {"TCM", "TCOM", true},
    {"TEN", "TENC", true}, {"TCR", "TCOP", true}, {"TLA", "TLAN", true}, {"WXX", "WXXX", true}};

TId3v2Tags::TId3v2Tags() {
  for (const Field& field : kFields) {
    AddTag(field.oldId);
    AddTag(field.newId);
  }
}

bool TId3v2Tags::TagExists(int fd) const {
  if (fd == -1) return false;
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  Id3v2Header header;
  const bool found = ReadHeader(fd, header);
  if (position >= 0) ::lseek(fd, position, SEEK_SET);
  return found;
}

bool TId3v2Tags::ReadFromFile(int fd) {
  if (!TAuTags::ReadFromFile(fd)) return false;
  const off_t start = ::lseek(fd, 0, SEEK_CUR);
  Id3v2Header header;
  if (start < 0 || !ReadHeader(fd, header)) {
    if (start >= 0) ::lseek(fd, start, SEEK_SET);
    return false;
  }
  IsNewVersion_ = header.version != 2;
  plainComment_ = false;
  const int64_t end = start + header.wholeSize;
  struct stat info {};
  const bool wholeTagInFile = ::fstat(fd, &info) == 0 && info.st_size >= end;

  const int headerSize = header.version == 2 ? 6 : 10;
  const int idSize = header.version == 2 ? 3 : 4;
  std::vector<uint8_t> data;
  for (int64_t at = start + 10; wholeTagInFile && at + headerSize <= end;) {
    uint8_t frame[10];
    if (::pread(fd, frame, static_cast<size_t>(headerSize), at) != headerSize) break;
    if (frame[0] < 'A' || frame[0] > 'Z') break;  // padding
    uint32_t size = ByteOrder::Be(frame + idSize, header.version == 2 ? 3 : 4);
    // ID3v2.4 frame sizes are syncsafe, unless a writer ignored that.
    if (header.version == 4 && (size & 0x80808080u) == 0)
      size = ((size >> 24) << 21) | (((size >> 16) & 0x7F) << 14) | (((size >> 8) & 0x7F) << 7) | (size & 0x7F);
    at += headerSize;
    if (static_cast<int64_t>(size) > end - at) break;
    if (size > 0 && size <= kLargestTextFrame) {
      data.resize(size);
      if (::pread(fd, data.data(), size, at) != static_cast<ssize_t>(size)) break;
      const std::string id(reinterpret_cast<const char*>(frame), static_cast<size_t>(idSize));
      StoreFrame(id.c_str(), data.data(), size);
    }
    at += size;
  }
  ::lseek(fd, start + header.wholeSize, SEEK_SET);
  return true;
}

void TId3v2Tags::StoreFrame(const char* id, const uint8_t* data, size_t size) {
  int field = -1;
  for (int i = 0; i < 12; ++i)
    if (std::strcmp(id, Name(i)) == 0) field = i;
  if (field < 0 || size == 0) return;
  if (field == kComment) return StoreComment(data, size);
  const uint8_t* text = data + 1;
  const size_t length = size - 1;
  if (data[0] == 0) {
    SetTagValue(Name(field), BytesUntil0(text, length));  // kept as 8-bit text
  } else if (data[0] != 2) {
    // UTF-16BE (encoding 2) is not read for text frames.
    if (const auto value = DecodeText(data[0], text, length)) SetTagValue(Name(field), *value);
  }
}

void TId3v2Tags::StoreComment(const uint8_t* data, size_t size) {
  // Encoding, a three-letter language, a terminated description, the text.
  if (size < 5 || plainComment_) return;
  const uint8_t encoding = data[0];
  const uint8_t* rest = data + 4;
  const size_t restSize = size - 4;
  const size_t textAt = AfterTerminator(encoding, rest, restSize);
  const auto description = DecodeText(encoding, rest, textAt);
  const auto text = DecodeText(encoding, rest + textAt, restSize - textAt);
  if (!description || !text) return;
  if (description->empty()) {
    plainComment_ = true;
    SetComment(*text);
  } else if (Comment().empty() && description->rfind(u"iTun", 0) != 0) {
    SetComment(*text);
  }
}

bool TId3v2Tags::WriteToFile(int fd, bool unicode) {
  if (fd == -1) return false;
  std::vector<uint8_t> frames;
  for (int field = 0; field < 12; ++field) {
    if (field == kComment) continue;
    // The values under the names in use; the frames always get the ID3v2.3 ids.
    const TagVariant value = TagValue(Name(field));
    std::string text;
    uint8_t encoding = 0;
    if (const auto* wide = std::get_if<std::u16string>(&value); wide != nullptr && unicode) {
      text = TagText::Utf16ToUtf8(*wide);
      encoding = 3;
    } else {
      text = AsString(Name(field));
    }
    if (text.empty()) continue;
    frames.insert(frames.end(), kFields[field].newId, kFields[field].newId + 4);
    ByteOrder::AppendBe32(frames, static_cast<uint32_t>(text.size() + 1));
    frames.insert(frames.end(), {0, 0, encoding});
    frames.insert(frames.end(), text.begin(), text.end());
  }
  const size_t padding = 16 - (frames.size() + 10) % 16;

  // The frames use the ID3v2.3 layout (plain 32-bit sizes), so the header says version 3.
  std::vector<uint8_t> tag(10 + frames.size() + padding, 0);
  std::memcpy(tag.data(), "ID3", 3);
  tag[3] = 3;
  PutSyncsafe(tag.data() + 6, static_cast<uint32_t>(frames.size() + padding));
  std::copy(frames.begin(), frames.end(), tag.begin() + 10);

  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  const auto added = static_cast<int64_t>(tag.size());
  if (::ftruncate(fd, info.st_size + added) != 0) return false;
  if (!ShiftContent(fd, info.st_size, added)) return false;
  return ::pwrite(fd, tag.data(), tag.size(), 0) == static_cast<ssize_t>(tag.size()) && ::fsync(fd) == 0;
}
