#pragma once
#include <filesystem>

namespace kiv {

// The folder of the running executable (from /proc/self/exe), where
// "KivClient.ini", "Resource.ini", the language files and companion programs live.
std::filesystem::path ProgramFolder();

}  // namespace kiv
