#pragma once
// The user's shell folders "Desktop" and "Personal", from the XDG user dirs
// (DESKTOP and DOCUMENTS in $XDG_CONFIG_HOME/user-dirs.dirs).
#include <string>
#include <string_view>

namespace kiv {

// The folder's path, or the empty text when it is unknown or not an existing directory.
std::string GetShellFolder(std::string_view folderName);

}  // namespace kiv
