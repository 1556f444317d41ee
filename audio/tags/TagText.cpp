#include "audio/tags/TagText.h"

#include <cstdint>

namespace TagText {

std::u16string Latin1ToUtf16(const std::string& text) {
  std::u16string result;
  result.reserve(text.size());
  for (unsigned char c : text) result.push_back(c);
  return result;
}

std::string Utf16ToLatin1(const std::u16string& text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    // A surrogate pair is one character, and not a Latin-1 one.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    result.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  }
  return result;
}

}  // namespace TagText
