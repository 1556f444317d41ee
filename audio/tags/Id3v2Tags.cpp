#include "audio/tags/Id3v2Tags.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/tags/FdIo.h"
#include "audio/tags/TagText.h"
#include "platform/ByteOrder.h"

namespace {

/// What the header at the start of a tag says.
struct Header {
  int version = 0;
  int flags = 0;
  int64_t wholeSize = 0;  // header, frames and footer
};

bool ParseHeader(const uint8_t (&bytes)[10], Header& header) {
  if (std::memcmp(bytes, "ID3", 3) != 0 || bytes[4] == 0xFF) return false;
  const int version = bytes[3], flags = bytes[5];
  const bool flagsOk = (version == 2 && (flags & 0x3F) == 0) || (version == 3 && (flags & 0x1F) == 0) ||
                       (version == 4 && (flags & 0x0F) == 0);
  if (!flagsOk) return false;
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] >= 0x80) return false;
    size = (size << 7) | bytes[i];
  }
  header = {version, flags, size + 10 + ((flags & 0x10) ? 10 : 0)};
  return true;
}

bool ReadHeader(int fd, Header& header) {
  uint8_t bytes[10];
  return FdIo::Read(fd, bytes, sizeof bytes) == sizeof bytes && ParseHeader(bytes, header);
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
  Header header;
  const bool found = ReadHeader(fd, header);
  if (position >= 0) ::lseek(fd, position, SEEK_SET);
  return found;
}

bool TId3v2Tags::ReadFromFile(int fd) {
  if (!TAuTags::ReadFromFile(fd)) return false;
  const off_t start = ::lseek(fd, 0, SEEK_CUR);
  Header header;
  if (start < 0 || !ReadHeader(fd, header)) {
    if (start >= 0) ::lseek(fd, start, SEEK_SET);
    return false;
  }
  IsNewVersion_ = header.version != 2;
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
  if (field < 0 || field == kComment || size == 0) return;
  const uint8_t* text = data + 1;
  const size_t length = size - 1;
  switch (data[0]) {
    case 0:
      SetTagValue(Name(field), BytesUntil0(text, length));
      break;
    case 1: {
      const bool littleMark = length >= 2 && text[0] == 0xFF && text[1] == 0xFE;
      const bool bigMark = length >= 2 && text[0] == 0xFE && text[1] == 0xFF;
      if (littleMark || bigMark) SetTagValue(Name(field), Utf16Until0(text + 2, length - 2, bigMark));
      else SetTagValue(Name(field), Utf16Until0(text, length, false));
      break;
    }
    case 3:
      SetTagValue(Name(field), TagText::Utf8ToUtf16(BytesUntil0(text, length)));
      break;
    default:
      break;  // encoding 2 and unknown encodings are not read
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
