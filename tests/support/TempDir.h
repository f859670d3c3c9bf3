#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kiv::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes bytes (exactly as given) to a file below the folder, creating folders.
    std::filesystem::path Write(const std::filesystem::path& relative, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// Sets (or with nullopt unsets) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

std::string ReadFileBytes(const std::filesystem::path& path);

}  // namespace kiv::test
