#include "platform/Desktop.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace desktop {

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

}  // namespace desktop
