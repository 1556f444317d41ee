#include "audio/formats/AudioFormat.h"

#include "audio/formats/FormatRegistry.h"

AudioFormat FormatOfFile(const std::string& fileName) {
  const FormatEntry* entry = FormatEntryOfFile(fileName);
  return entry ? entry->format : AudioFormat::Unknown;
}

const char* FormatName(AudioFormat format) {
  const FormatEntry* entry = FindFormat(format);
  return entry ? entry->name : "unknown";
}
