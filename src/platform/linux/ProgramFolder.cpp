#include "platform/linux/ProgramFolder.h"

namespace kiv {

std::filesystem::path ProgramPath() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

std::filesystem::path ProgramFolder() {
    const std::filesystem::path exe = ProgramPath();
    std::error_code ec;
    if (exe.empty()) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

std::filesystem::path LibraryBesideProgram(const char* fileName) {
    std::error_code ec;
    const std::filesystem::path beside = ProgramFolder() / fileName;
    if (std::filesystem::exists(beside, ec)) return beside;
    return fileName;
}

}  // namespace kiv
