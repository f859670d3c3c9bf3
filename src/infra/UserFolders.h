#pragma once
// The user's base folders (XDG) and making folders that only the user may read:
// the client's folders hold proxy passwords and traces of sessions.
#include <optional>
#include <string>

namespace kiv {

// An environment value usable as a base folder: set, non-empty and absolute
// (the XDG rule: a relative value is ignored).
std::optional<std::string> AbsoluteEnvFolder(const char* name);

// Creates every missing folder of the path with mode 0700; true when the path
// is a folder afterwards.
bool MakePrivateFolders(const std::string& path);

}  // namespace kiv
