#pragma once
// Small reads of the kernel's text files (sysfs, procfs, udev's database).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kiv {

// The file's bytes, as they are; nullopt when unreadable. At most `limit` bytes are
// read: these files are small, a larger one is not ours.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t limit = 65536);

// The file's bytes without the one line end the kernel adds; nullopt when unreadable.
std::optional<std::string> ReadSysfsText(const std::filesystem::path& path);

// The value of "E:<key>=..." in a udev database file; empty when absent.
std::string ReadUdevProperty(const std::filesystem::path& path, std::string_view key);

}  // namespace kiv
