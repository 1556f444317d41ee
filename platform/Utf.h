#pragma once

#include <string>

/// The one conversion between UTF-8 and UTF-16 of the program.
namespace Utf {

/// Malformed or truncated sequences, overlong forms and surrogates become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
/// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace Utf
