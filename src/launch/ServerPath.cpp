#include "launch/ServerPath.h"

#include <cstdlib>
#include <vector>

namespace kiv {

namespace {

// The components of an absolute path, resolved lexically: empty and "." parts
// vanish, ".." takes one back (never above the root). The file system is not
// consulted: the path may name something on a drive that is not mounted now.
std::vector<std::string_view> AbsoluteComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        const std::size_t start = i;
        while (i < path.size() && path[i] != '/') ++i;
        const std::string_view part = path.substr(start, i - start);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    return parts;
}

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string JoinForServer(std::string_view share, const std::vector<std::string_view>& parts, std::size_t from) {
    std::string out(share);
    for (std::size_t i = from; i < parts.size(); ++i) {
        out += '\\';
        out += parts[i];
    }
    return out;
}

}  // namespace

std::string ToServerPath(std::string_view localPath, std::string_view home) {
    if (!IsAbsolute(localPath)) return {};
    const std::vector<std::string_view> parts = AbsoluteComponents(localPath);
    if (IsAbsolute(home)) {
        const std::vector<std::string_view> homeParts = AbsoluteComponents(home);
        bool inside = homeParts.size() <= parts.size();
        for (std::size_t i = 0; inside && i < homeParts.size(); ++i) inside = parts[i] == homeParts[i];
        if (inside) return JoinForServer(kHomeShareName, parts, homeParts.size());
    }
    return JoinForServer(kRootShareName, parts, 0);
}

std::string ToTsClientPath(std::string_view localPath, std::string_view home) {
    std::string serverPath = ToServerPath(localPath, home);
    if (serverPath.empty()) return {};
    return "\\\\tsclient\\" + serverPath;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::string(home) : std::string();
}

}  // namespace kiv
