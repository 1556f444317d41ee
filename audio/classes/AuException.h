#pragma once

#include <string>

#include "platform/Error.h"

/// The audio engine's exception: a failure that its message explains.
class EAuException : public Error {
 public:
  explicit EAuException(const std::string& message) : Error(ErrorKind::Failed, message) {}
};
