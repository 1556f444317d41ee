#pragma once

#include <cstdint>

/// A seekable byte stream: a file (TAuFileStream) or memory.
class TAuStream {
 public:
  enum Origin { FromBeginning, FromCurrent, FromEnd };

  virtual ~TAuStream() = default;
  /// Bytes read; fewer than asked only at the end.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  /// Bytes written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  /// The new position, or -1 when it cannot be reached.
  virtual int64_t Seek(int64_t offset, Origin origin) = 0;
  virtual int64_t Size() = 0;
  int64_t Position() { return Seek(0, FromCurrent); }
  void SetPosition(int64_t position) { Seek(position, FromBeginning); }
};
