#include "audio/AudioFormat.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

AudioFormat FormatOfFile(const std::string& fileName) {
  std::string extension = std::filesystem::path(fileName).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".wav") return AudioFormat::Wav;
  if (extension == ".mp3") return AudioFormat::Mp3;
  if (extension == ".wma") return AudioFormat::Wma;
  return AudioFormat::Unknown;
}

const char* FormatName(AudioFormat format) {
  switch (format) {
    case AudioFormat::Wav: return "WAV";
    case AudioFormat::Mp3: return "MP3";
    case AudioFormat::Wma: return "WMA";
    default: return "unknown";
  }
}
