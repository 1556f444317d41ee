#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

#include "platform/Numbers.h"

/// An integer tag value that remembers its width in bits (8, 16, 32 or 64).
struct TagInteger {
  int64_t value = 0;
  int bits = 32;
};

/// A tag value: unassigned, an integer, 8-bit (ISO-8859-1) text or UTF-16 text.
using TagVariant = std::variant<std::monostate, TagInteger, std::string, std::u16string>;

/// Two values are equal when both are unassigned, both integers of the same
/// value, or both text with the same characters.
bool SameTagValue(const TagVariant& a, const TagVariant& b);

/// Base of the tag containers: a fixed set of names, chosen by the
/// constructor, each holding one value. Names compare without regard to case.
///
/// File operations take the descriptor of an open file (-1: none) and report
/// failure as false.
class TAuTags {
 public:
  TAuTags() = default;
  virtual ~TAuTags() = default;
  TAuTags(const TAuTags&) = delete;
  TAuTags& operator=(const TAuTags&) = delete;

  int TagCount() const { return static_cast<int>(values_.size()); }
  /// Names in sorted order; empty outside 0..TagCount-1.
  std::string TagName(int index) const;

  /// Unassigned for an unknown name.
  TagVariant TagValue(const std::string& name) const;
  /// An unknown name or a value equal to the stored one changes nothing.
  void SetTagValue(const std::string& name, const TagVariant& value);

  /// 8-, 16- and 32-bit integers, and text that reads as a 32-bit integer; else 0.
  int32_t AsInteger(const std::string& name) const;
  /// Those integers in decimal, text as 8-bit text; else empty.
  std::string AsString(const std::string& name) const;
  std::u16string AsWideString(const std::string& name) const;

  /// Every value becomes unassigned.
  void Clear();
  /// Clears this container, then copies the values of every name both have.
  virtual void Assign(const TAuTags& source);
  virtual void AssignTo(TAuTags& target) const { target.Assign(*this); }

  bool Empty() const { return Empty_; }
  bool Changed() const { return Changed_; }

  virtual bool TagExists(int fd) const { return fd != -1; }
  virtual bool ReadFromFile(int fd);
  virtual bool WriteToFile(int fd) { return fd != -1; }

 protected:
  /// For constructors: adds a name unless it exists or is empty.
  void AddTag(const std::string& name, const TagVariant& initial = {});

 private:
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, TagVariant, CaseInsensitiveLess> values_;
  bool Empty_ = true;
  bool Changed_ = false;
};

