#include "platform/shell.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/media_probe.h"

namespace Shell {

std::string AppDataFolder() {
  std::string folder;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  // The XDG rules ignore a relative XDG_DATA_HOME.
  if (dataHome != nullptr && dataHome[0] == '/') {
    folder = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* entry = getpwuid(getuid());
      home = entry != nullptr ? entry->pw_dir : "/tmp";
    }
    folder = std::string(home) + "/.local/share";
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::vector<std::string> DetailsOf(const std::string& fileName) {
  namespace fs = std::filesystem;
  const fs::path path(fileName);
  std::error_code error;
  if (!fs::is_directory(path.parent_path().empty() ? fs::path(".") : path.parent_path(), error))
    throw std::runtime_error("The folder of " + fileName + " was not found");
  if (!fs::exists(path, error)) throw std::runtime_error("The file " + fileName + " was not found");

  std::vector<std::string> columns(kDetailColumns);
  columns[0] = path.filename().string();
  // Only a plain file is probed: reading a named pipe would wait for a writer.
  if (const auto seconds = fs::is_regular_file(path, error) ? MediaLengthSeconds(fileName) : std::nullopt) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(*seconds / 3600),
                  static_cast<long long>(*seconds / 60 % 60), static_cast<long long>(*seconds % 60));
    columns[kLengthColumn] = text;
  }
  return columns;
}

}  // namespace Shell
