#include "platform/linux/SysfsText.h"

#include <algorithm>
#include <fstream>

namespace kiv {

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t limit) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < limit) {
        file.read(chunk, static_cast<std::streamsize>(std::min(sizeof chunk, limit - bytes.size())));
        if (file.bad()) return std::nullopt;
        bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (!file) break;
    }
    return bytes;
}

std::optional<std::string> ReadSysfsText(const std::filesystem::path& path) {
    auto text = ReadSmallFile(path);
    if (text && !text->empty() && text->back() == '\n') text->pop_back();
    return text;
}

std::string ReadUdevProperty(const std::filesystem::path& path, std::string_view key) {
    const auto text = ReadSysfsText(path);
    if (!text) return std::string();
    const std::string prefix = "E:" + std::string(key) + "=";
    std::size_t start = 0;
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        const std::string_view line = std::string_view(*text).substr(start, end - start);
        if (line.substr(0, prefix.size()) == prefix) return std::string(line.substr(prefix.size()));
        start = end + 1;
    }
    return std::string();
}

}  // namespace kiv
