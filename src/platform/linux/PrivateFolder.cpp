#include "platform/linux/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kiv {

namespace {

std::string Reason(const std::filesystem::path& path, const std::string& what) { return path.string() + " " + what; }

// One folder on the way: `last` is the socket folder itself.
bool SafeStep(const std::filesystem::path& path, bool last, std::string& why) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        why = Reason(path, std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    const uid_t me = getuid();
    // A link can be replaced by whoever owns it.
    if (S_ISLNK(link.st_mode) && link.st_uid != me && link.st_uid != 0) {
        why = Reason(path, "is a link of user " + std::to_string(link.st_uid));
        return false;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        why = Reason(path, "is not a folder");
        return false;
    }
    if (last ? info.st_uid != me : (info.st_uid != me && info.st_uid != 0)) {
        why = Reason(path, "belongs to user " + std::to_string(info.st_uid));
        return false;
    }
    const bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    const bool sharedSticky = !last && info.st_uid == 0 && (info.st_mode & S_ISVTX) != 0;
    if (othersWrite && !sharedSticky) {
        why = Reason(path, "may be written by others");
        return false;
    }
    return true;
}

}  // namespace

bool PreparePrivateFolder(const std::filesystem::path& folder, std::string& why) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(folder, ec).lexically_normal();
    if (!full.has_filename()) full = full.parent_path();  // "/run/x/" is "/run/x"
    if (ec || full.empty()) {
        why = Reason(folder, "has no absolute path");
        return false;
    }
    std::filesystem::path way;
    std::size_t left = static_cast<std::size_t>(std::distance(full.begin(), full.end()));
    for (const auto& part : full) {
        way /= part;
        --left;
        if (mkdir(way.c_str(), 0700) != 0 && errno != EEXIST) {
            why = Reason(way, std::string("cannot be made: ") + std::strerror(errno));
            return false;
        }
        if (!SafeStep(way, left == 0, why)) return false;
    }
    return true;
}

}  // namespace kiv
