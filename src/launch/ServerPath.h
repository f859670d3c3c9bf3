#pragma once
// How a local path is written for the server. With drive redirection the client
// shares the home folder as drive "home" and the file system root as drive
// "root"; a local path becomes the share's name, a backslash and the path inside
// the share with backslashes. This is the only place that knows the rule.
#include <string>
#include <string_view>

namespace kiv {

inline constexpr std::string_view kHomeShareName = "home";
inline constexpr std::string_view kRootShareName = "root";

// "$HOME/Desktop" -> "home\Desktop"; "/tmp/a.txt" -> "root\tmp\a.txt".
// A relative or empty path gives the empty text. home is the user's home folder.
std::string ToServerPath(std::string_view localPath, std::string_view home);
// The same path as the server reaches it: "\\tsclient\" + ToServerPath.
std::string ToTsClientPath(std::string_view localPath, std::string_view home);
// $HOME, or the empty text.
std::string HomeFolder();

}  // namespace kiv
