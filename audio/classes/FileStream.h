#pragma once

#include <cstdint>
#include <string>

#include "audio/classes/AuStream.h"

/// How a file stream opens its file. Between streams of this program the
/// file is guarded with advisory locks: a stream that writes, or reads
/// alone, holds the file alone; readers share it with other readers. A file
/// being read is therefore never emptied by one of our writers.
enum class TFileMode {
  Read,       // an existing file, shared with other readers
  ReadAlone,  // an existing file, held alone
  Update,     // an existing file, read and written, held alone
  Create,     // created or emptied, read and written, held alone
};

/// The engine's file stream over a POSIX descriptor, which it owns.
class TAuFileStream : public TAuStream {
 public:
  /// Raises EAuException with the system's message when the file cannot be
  /// opened, or a plain one when another stream of ours holds it.
  TAuFileStream(const std::string& fileName, TFileMode mode);
  ~TAuFileStream() override;
  TAuFileStream(const TAuFileStream&) = delete;
  TAuFileStream& operator=(const TAuFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, Origin origin) override;
  int64_t Size() override;
  /// Cuts or extends the file; false on failure.
  bool SetSize(int64_t size);
  int Handle() const { return fd_; }

 private:
  int fd_ = -1;
  static constexpr int64_t kFlushStep = 8 << 20;
  bool created_ = false;
  int64_t unflushed_ = 0;  // bytes written since their write-back was last started
};
