#pragma once

#include <cstdint>
#include <string>

#include "audio/classes/AuStream.h"

/// The engine's file stream over a POSIX descriptor, which it owns.
///
/// Mode 65535 creates or empties the file for reading and writing, shared
/// with nobody. Any other mode opens an existing file: access from the low
/// two bits (0 read, 1 write, 2 both), sharing from bits 4-7 (0 or 1 none,
/// 2 read, 3 write, 4 both). Between streams of this program, sharing is kept
/// with advisory locks: a stream that writes, or shares nothing, holds the
/// file alone; other readers share it. A file being read is therefore never
/// emptied by one of our writers.
class TAuFileStream : public TAuStream {
 public:
  static constexpr uint16_t kCreate = 65535;

  /// Raises EAuException with the system's message when the file cannot be
  /// opened, or a plain one when another stream of ours holds it.
  TAuFileStream(const std::string& fileName, uint16_t mode);
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
};
