#pragma once

#include <stdexcept>
#include <string>

/// The audio engine's exception: carries only its message.
class EAuException : public std::runtime_error {
 public:
  explicit EAuException(const std::string& message) : std::runtime_error(message) {}
};
