#pragma once
// The folder of this user's sockets (hand-over, control, status window). Without
// $XDG_RUNTIME_DIR it lies under /tmp, where anybody may have made it first: a
// folder that somebody else owns or may write into would receive the hand-overs.
#include <filesystem>
#include <string>

namespace kiv {

// Creates what is missing of `folder` (mode 0700) and checks the whole way to it:
// every folder on the way belongs to this user or to root and nobody else may
// write into it (a shared folder such as /tmp only with its sticky bit); the
// folder itself belongs to this user and only this user may write into it.
// False, with the reason in `why`, when it is not safe to put a socket there.
bool PreparePrivateFolder(const std::filesystem::path& folder, std::string& why);

}  // namespace kiv
