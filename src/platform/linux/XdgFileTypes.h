#pragma once
// The file-type registration on a freedesktop desktop, in the user's own data
// folder ($XDG_DATA_HOME, default ~/.local/share): the desktop entry in
// applications/, the MIME package in mime/packages/, the icon in the hicolor
// theme; then the desktop's caches are brought up to date and the entry made
// the default for its types, by the standard programs where they exist. Every
// failure is silent: a desktop without these programs simply knows less.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launch/FileTypeRegistration.h"

namespace kiv {

// $XDG_DATA_HOME, else $HOME/.local/share; none without either.
std::optional<std::filesystem::path> UserDataHome();

struct TXdgRegistrationPaths {
    std::filesystem::path desktopEntry;  // .../applications/kivclient.desktop
    std::filesystem::path mimePackage;   // .../mime/packages/kivclient.xml
    std::filesystem::path icon;          // .../icons/hicolor/scalable/apps/kivclient.svg
};
TXdgRegistrationPaths XdgRegistrationPaths(const std::filesystem::path& dataHome);

enum class TRegistrationWait { InBackground, UntilDone };

// True when the text of a mimeapps.list names `entry` first under
// [Default Applications] for every one of `types` (what "xdg-mime default"
// leaves behind).
bool MimeDefaultsInPlace(std::string_view mimeAppsText, const std::vector<std::string>& types, std::string_view entry);

// Writes what differs, then runs update-mime-database and update-desktop-database
// (when a file changed) and "xdg-mime default" (unless the user's
// $XDG_CONFIG_HOME/mimeapps.list, default ~/.config, already names the entry for
// every type: with nothing changed no program runs at all). iconSource: the SVG
// shipped beside the binary. In the background the programs run detached from
// the caller, which never waits for them; a report wants them done first. True
// when every file is in place.
bool RegisterFileTypesForUser(const TFileTypeRegistration& registration, const std::filesystem::path& iconSource,
                              TRegistrationWait wait);

}  // namespace kiv
