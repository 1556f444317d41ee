#pragma once

#include <sys/stat.h>

#include <string>

#include "audio/classes/AuStream.h"
#include "audio/classes/FileStream.h"
#include "platform/ByteSource.h"

/// One of the engine's streams as the bytes a decoder reads by position.
class TStreamBytes : public media::ByteSource {
 public:
  explicit TStreamBytes(TAuStream& stream) : stream_(stream) {}

  int64_t ReadAt(int64_t offset, void* into, int64_t count) override {
    if (stream_.Seek(offset, TAuStream::FromBeginning) != offset) return 0;
    return stream_.Read(into, count);
  }

  int64_t Size() override { return stream_.Size(); }

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
