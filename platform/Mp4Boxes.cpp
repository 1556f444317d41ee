#include "platform/Mp4Boxes.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/Error.h"

namespace media {

namespace {

struct Box {
  size_t at = 0;    // of its body
  size_t size = 0;  // of its body
};

/// The first box of `type` among those in [from, to) of `bytes`.
std::optional<Box> FindBox(const std::vector<uint8_t>& bytes, size_t from, size_t to, const char* type) {
  while (from + 8 <= to) {
    uint64_t size = ByteOrder::Be32(&bytes[from]);
    size_t header = 8;
    if (size == 1 && from + 16 <= to) {
      size = (uint64_t{ByteOrder::Be32(&bytes[from + 8])} << 32) | ByteOrder::Be32(&bytes[from + 12]);
      header = 16;
    } else if (size == 0) {
      size = to - from;
    }
    if (size < header || size > to - from) return std::nullopt;
    if (std::equal(type, type + 4, bytes.begin() + static_cast<std::ptrdiff_t>(from + 4)))
      return Box{from + header, static_cast<size_t>(size) - header};
    from += static_cast<size_t>(size);
  }
  return std::nullopt;
}

void Put(std::vector<uint8_t>& bytes, size_t at, int64_t value, bool wide) {
  if (wide) {
    ByteOrder::PutBe32(&bytes[at], static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32));
    ByteOrder::PutBe32(&bytes[at + 4], static_cast<uint32_t>(value));
  } else {
    ByteOrder::PutBe32(&bytes[at], static_cast<uint32_t>(value));
  }
}

[[noreturn]] void Missing(const char* what) {
  throw Error(ErrorKind::Failed, std::string("the written file has no ") + what);
}

}  // namespace

void SetEditLength(const std::string& fileName, int64_t duration) {
  std::fstream file(fileName, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) throw Error(ErrorKind::Failed, "the written file cannot be opened again");
  // The top-level boxes, walked by their headers; the movie box is read whole.
  std::vector<uint8_t> header(16);
  uint64_t at = 0;
  std::vector<uint8_t> moov;
  uint64_t moovAt = 0;
  for (;;) {
    file.seekg(static_cast<std::streamoff>(at));
    if (!file.read(reinterpret_cast<char*>(header.data()), 16)) break;
    uint64_t size = ByteOrder::Be32(header.data());
    if (size == 1) size = (uint64_t{ByteOrder::Be32(&header[8])} << 32) | ByteOrder::Be32(&header[12]);
    if (size < 8) break;
    if (std::equal(header.begin() + 4, header.begin() + 8, "moov")) {
      if (size > (64u << 20)) break;
      moov.resize(static_cast<size_t>(size));
      file.seekg(static_cast<std::streamoff>(at));
      if (!file.read(reinterpret_cast<char*>(moov.data()), static_cast<std::streamsize>(size))) break;
      moovAt = at;
      break;
    }
    at += size;
  }
  file.clear();
  if (moov.empty()) Missing("movie box");
  const size_t end = moov.size();
  const auto mvhd = FindBox(moov, 8, end, "mvhd");
  const auto trak = FindBox(moov, 8, end, "trak");
  if (!mvhd || !trak) Missing("movie or track header");
  const auto tkhd = FindBox(moov, trak->at, trak->at + trak->size, "tkhd");
  const auto edts = FindBox(moov, trak->at, trak->at + trak->size, "edts");
  if (!tkhd || !edts) Missing("track header or edit list");
  const auto elst = FindBox(moov, edts->at, edts->at + edts->size, "elst");
  if (!elst || elst->size < 8) Missing("edit list");

  // Version 1 boxes hold 64-bit times.
  const bool mvhdWide = moov[mvhd->at] == 1, tkhdWide = moov[tkhd->at] == 1, elstWide = moov[elst->at] == 1;
  Put(moov, mvhd->at + (mvhdWide ? 4 + 8 + 8 + 4 : 4 + 4 + 4 + 4), duration, mvhdWide);
  Put(moov, tkhd->at + (tkhdWide ? 4 + 8 + 8 + 4 + 4 : 4 + 4 + 4 + 4 + 4), duration, tkhdWide);
  const uint32_t entries = ByteOrder::Be32(&moov[elst->at + 4]);
  const size_t entrySize = elstWide ? 20 : 12;
  if (entries == 0 || elst->size < 8 + entries * entrySize) Missing("edit");
  Put(moov, elst->at + 8 + (entries - 1) * entrySize, duration, elstWide);

  file.seekp(static_cast<std::streamoff>(moovAt));
  if (!file.write(reinterpret_cast<const char*>(moov.data()), static_cast<std::streamsize>(moov.size())) || !file.flush())
    throw Error(ErrorKind::Failed, "the file's length could not be written");
}

}  // namespace media
