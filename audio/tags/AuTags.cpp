#include "audio/tags/AuTags.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <iterator>

#include "audio/tags/TagText.h"

namespace {

std::u16string WideOf(const TagVariant& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return TagText::Latin1ToUtf16(*text);
  if (const auto* wide = std::get_if<std::u16string>(&value)) return *wide;
  return {};
}

/// The integer of an 8-, 16- or 32-bit integer value.
bool SmallInteger(const TagVariant& value, int32_t& result) {
  const auto* integer = std::get_if<TagInteger>(&value);
  if (integer == nullptr || integer->bits > 32) return false;
  result = static_cast<int32_t>(integer->value);
  return true;
}

}  // namespace

bool SameTagValue(const TagVariant& a, const TagVariant& b) {
  if (std::holds_alternative<std::monostate>(a) || std::holds_alternative<std::monostate>(b))
    return a.index() == b.index();
  const auto* ia = std::get_if<TagInteger>(&a);
  const auto* ib = std::get_if<TagInteger>(&b);
  if (ia != nullptr || ib != nullptr) return ia != nullptr && ib != nullptr && ia->value == ib->value;
  return WideOf(a) == WideOf(b);
}

bool TAuTags::CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

std::string TAuTags::TagName(int index) const {
  if (index < 0 || index >= TagCount()) return {};
  return std::next(values_.begin(), index)->first;
}

TagVariant TAuTags::TagValue(const std::string& name) const {
  const auto found = values_.find(name);
  return found == values_.end() ? TagVariant{} : found->second;
}

void TAuTags::SetTagValue(const std::string& name, const TagVariant& value) {
  const auto found = values_.find(name);
  if (found == values_.end() || SameTagValue(found->second, value)) return;
  found->second = value;
  Empty_ = false;
  Changed_ = true;
}

int32_t TAuTags::AsInteger(const std::string& name) const {
  const TagVariant value = TagValue(name);
  int32_t result = 0;
  if (SmallInteger(value, result)) return result;
  if (std::holds_alternative<std::string>(value) || std::holds_alternative<std::u16string>(value)) {
    if (ParseInt32(TagText::Utf16ToLatin1(WideOf(value)), result)) return result;
  }
  return 0;
}

std::string TAuTags::AsString(const std::string& name) const {
  const TagVariant value = TagValue(name);
  int32_t integer = 0;
  if (SmallInteger(value, integer)) return std::to_string(integer);
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* wide = std::get_if<std::u16string>(&value)) return TagText::Utf16ToLatin1(*wide);
  return {};
}

std::u16string TAuTags::AsWideString(const std::string& name) const {
  const TagVariant value = TagValue(name);
  int32_t integer = 0;
  if (SmallInteger(value, integer)) return TagText::Latin1ToUtf16(std::to_string(integer));
  return WideOf(value);
}

void TAuTags::AddTag(const std::string& name, const TagVariant& initial) {
  if (!name.empty()) values_.emplace(name, initial);
}

void TAuTags::Clear() {
  for (auto& entry : values_) entry.second = std::monostate{};
  Empty_ = true;
  Changed_ = true;
}

void TAuTags::Assign(const TAuTags& source) {
  if (&source == this) return;
  Clear();
  for (const auto& [name, value] : source.values_) SetTagValue(name, value);
}

bool TAuTags::ReadFromFile(int fd) {
  if (fd == -1) return false;
  Clear();
  return true;
}
