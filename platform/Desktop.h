#pragma once

#include <string>

/// What the desktop offers the program.
namespace desktop {

/// Opens a web page with the desktop's browser; a failure is ignored.
/// (In platform_desktop: it needs Qt Gui.)
void OpenUrl(const std::string& url);

/// The XDG data home ($XDG_DATA_HOME or ~/.local/share), ending in '/'.
std::string AppDataFolder();

}  // namespace desktop
