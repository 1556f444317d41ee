#pragma once

#include <exception>
#include <string>

#include "platform/Error.h"

/// The audio engine's exception: a failure that its message explains.
class EAuException : public Error {
 public:
  explicit EAuException(const std::string& message) : Error(ErrorKind::Failed, message) {}
  /// A failure of another kind than a failed run (a library not installed, a file cut short).
  EAuException(ErrorKind kind, const std::string& message) : Error(kind, message) {}
};

/// Raises `e` again as the engine's exception, its message after `before`
/// (and naming `file` when given), keeping its kind: a library not
/// installed stays one, whatever layer it passes.
[[noreturn]] inline void ThrowKeepingKind(const std::exception& e, const std::string& before = {},
                                          const std::string& file = {}) {
  throw EAuException(KindOf(e), WithFileName(before + e.what(), file));
}
