#pragma once

#include <cstdint>
#include <string>

/// Reads text as a signed 32-bit decimal integer: leading blanks and a sign
/// allowed, nothing after the digits. The program's one integer parser.
bool ParseInt32(const std::string& text, int32_t& value);
