#pragma once

#include <string>

#include "audio/classes/AuStream.h"
#include "audio/classes/FileStream.h"
#include "platform/ByteSource.h"
#include "platform/FileIdentity.h"

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
    return file ? media::FileIdentity(file->Handle()) : std::string();
  }

 private:
  TAuStream& stream_;
};
