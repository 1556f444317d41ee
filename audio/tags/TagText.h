#pragma once

#include <string>

#include "platform/Utf.h"

/// Conversions between the tag containers' text forms: 8-bit text is
/// ISO-8859-1, wide text UTF-16.
namespace TagText {

std::u16string Latin1ToUtf16(const std::string& text);
/// Characters outside ISO-8859-1 become '?'.
std::string Utf16ToLatin1(const std::u16string& text);
using Utf::Utf16ToUtf8;
using Utf::Utf8ToUtf16;

}  // namespace TagText
