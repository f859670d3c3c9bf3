#pragma once
// What the client registers so that the desktop opens ".kiv" and ".vyn" files and
// "kiv:" links with it: a desktop entry carrying the open command, a MIME package
// for the two file types, and an icon. Written at every session start. The open
// command depends on the running program's name: "kivclient" registers itself;
// a copy named "Conn" registers the client of its folder and passes it "Conn"
// before the file; under any other name no open command (no desktop entry) is
// written, only the file types.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

inline constexpr std::string_view kDesktopEntryName = "kivclient.desktop";
inline constexpr std::string_view kMimePackageName = "kivclient.xml";
inline constexpr std::string_view kIconName = "kivclient";
inline constexpr std::string_view kKivMimeType = "application/x-kiv";
inline constexpr std::string_view kVynMimeType = "application/x-vyn";
inline constexpr std::string_view kLinkMimeType = "x-scheme-handler/kiv";

struct TFileTypeRegistration {
    std::optional<std::string> desktopEntry;  // the entry's text; none: no open command
    std::string mimePackage;                  // the shared-mime-info package's text
    std::vector<std::string> defaultFor;      // the types the desktop entry becomes the default for
};

// The open command in desktop-entry form ("Exec" value), or none for other names.
std::optional<std::string> OpenCommand(std::string_view programPath);

// description: the language text "KeyDes".
TFileTypeRegistration BuildFileTypeRegistration(std::string_view programPath, std::string_view description);

}  // namespace kiv
