#pragma once

#include <sys/stat.h>

#include <string>

#include "audio/classes/AuStream.h"
#include "audio/classes/FileStream.h"
#include "platform/wmvcore.h"

/// Presents one of the engine's streams to the Windows Media reader.
class TAudioStream : public wm::IStream {
 public:
  explicit TAudioStream(TAuStream& stream) : stream_(stream) {}

  /// Succeeds when at least one byte was read.
  int32_t Read(void* buffer, uint32_t count, uint32_t* read) override {
    const int64_t got = stream_.Read(buffer, count);
    if (read) *read = static_cast<uint32_t>(got > 0 ? got : 0);
    return got > 0 ? wm::S_OK : -1;
  }

  int32_t Seek(int64_t offset, wm::Origin origin, uint64_t* newPosition) override {
    const auto from = origin == wm::Origin::Begin ? TAuStream::FromBeginning
                      : origin == wm::Origin::Current ? TAuStream::FromCurrent
                                                      : TAuStream::FromEnd;
    const int64_t reached = stream_.Seek(offset, from);
    if (newPosition) *newPosition = static_cast<uint64_t>(reached < 0 ? 0 : reached);
    return wm::S_OK;
  }

  int32_t Stat(uint64_t* size) override {
    const int64_t bytes = stream_.Size();
    if (size) *size = static_cast<uint64_t>(bytes < 0 ? 0 : bytes);
    return wm::S_OK;
  }

  std::string Identity() override {
    const auto* file = dynamic_cast<const TAuFileStream*>(&stream_);
    struct stat about {};
    if (!file || fstat(file->Handle(), &about) != 0) return {};
    return std::to_string(about.st_dev) + ":" + std::to_string(about.st_ino) + ":" + std::to_string(about.st_size) + ":" +
           std::to_string(about.st_ctim.tv_sec) + "." + std::to_string(about.st_ctim.tv_nsec);
  }

 private:
  TAuStream& stream_;
};
