#include "launch/ShellFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "infra/TextRules.h"
#include "launch/ServerPath.h"

namespace kiv {

namespace {

struct TUserDir {
    std::string_view folderName;  // the name the settings reader asks for
    std::string_view xdgKey;      // its line in user-dirs.dirs
    std::string_view fallback;    // what xdg-user-dirs writes when nothing was chosen
};

constexpr TUserDir kUserDirs[] = {
    {"Desktop", "XDG_DESKTOP_DIR", "$HOME/Desktop"},
    {"Personal", "XDG_DOCUMENTS_DIR", "$HOME/Documents"},
};

std::optional<std::string> Environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::filesystem::path UserDirsFile() {
    // A relative XDG_CONFIG_HOME is invalid by the base-directory rules and is ignored.
    if (auto config = Environment("XDG_CONFIG_HOME"); config && !config->empty() && config->front() == '/')
        return std::filesystem::path(*config) / "user-dirs.dirs";
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    return std::filesystem::path(home) / ".config" / "user-dirs.dirs";
}

// The value of a shell assignment as xdg-user-dirs writes it: double quotes
// around the value, backslash escapes inside them.
std::string UnquoteShellValue(std::string_view value) {
    value = TrimBlanks(value);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
    value = value.substr(1, value.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        out += value[i];
    }
    return out;
}

// The raw value of key, the last assignment winning as it would in a shell.
std::optional<std::string> ReadUserDirsValue(std::string_view key) {
    const std::filesystem::path file = UserDirsFile();
    if (file.empty()) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::optional<std::string> found;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = TrimBlanks(line);
        if (text.empty() || text.front() == '#') continue;
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        if (TrimBlanks(text.substr(0, equals)) != key) continue;
        found = UnquoteShellValue(text.substr(equals + 1));
    }
    return found;
}

bool IsNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// $NAME and ${NAME} references replaced by the environment; nullopt when a
// referenced variable is not set or a brace is not closed.
std::optional<std::string> ExpandReferences(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '$') {
            out += text[i++];
            continue;
        }
        std::string name;
        if (i + 1 < text.size() && text[i + 1] == '{') {
            const std::size_t close = text.find('}', i + 2);
            if (close == std::string_view::npos) return std::nullopt;
            name = std::string(text.substr(i + 2, close - i - 2));
            i = close + 1;
        } else {
            std::size_t end = i + 1;
            while (end < text.size() && IsNameByte(text[end])) ++end;
            if (end == i + 1) {  // a lone "$" is just a character
                out += text[i++];
                continue;
            }
            name = std::string(text.substr(i + 1, end - i - 1));
            i = end;
        }
        const std::optional<std::string> value = name.empty() ? std::nullopt : Environment(name);
        if (!value) return std::nullopt;
        out += *value;
    }
    return out;
}

bool IsExistingDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

std::string GetShellFolder(std::string_view folderName) {
    for (const TUserDir& dir : kUserDirs) {
        if (!EqualsNoCase(folderName, dir.folderName)) continue;
        const std::string raw = ReadUserDirsValue(dir.xdgKey).value_or(std::string(dir.fallback));
        const std::string path = Trimmed(ExpandReferences(raw).value_or(raw));
        if (path.empty() || path.front() != '/' || !IsExistingDirectory(path)) return {};
        // xdg-user-dirs switches a folder off by pointing it at the home folder;
        // handing the whole home over as the desktop is not what the user chose.
        const std::string home = HomeFolder();
        if (!home.empty() && SameFolder(path, home)) return {};
        return path;
    }
    return {};
}

}  // namespace kiv
