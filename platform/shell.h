#pragma once

#include <string>
#include <vector>

/// What the desktop shell offers the program: web pages, the per-user data
/// folder, and the detail columns a file manager shows for a file.
namespace Shell {

/// Number of detail columns, 0 to 36.
constexpr int kDetailColumns = 37;
/// The column that holds a media file's length as hh:mm:ss.
constexpr int kLengthColumn = 27;

/// Opens a web page with the desktop's browser; a failure is ignored.
/// (In platform_desktop: it needs Qt Gui.)
void OpenUrl(const std::string& url);

/// The XDG data home ($XDG_DATA_HOME or ~/.local/share), ending in '/'.
std::string AppDataFolder();

/// The 37 detail columns of a file: 0 is its name, 27 its play length in
/// whole seconds as hh:mm:ss (empty when it cannot be told); the others are
/// empty. Raises std::runtime_error when the folder or the file is not found.
std::vector<std::string> DetailsOf(const std::string& fileName);

}  // namespace Shell
