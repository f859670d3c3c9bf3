#pragma once
#include <filesystem>

namespace kiv {

// The full path of the running executable (from /proc/self/exe), empty when unknown.
std::filesystem::path ProgramPath();

// The folder of the running executable, where "KivClient.ini", "Resource.ini",
// the language files and companion programs live.
std::filesystem::path ProgramFolder();

// A companion library: the file beside the program when it is there, else the
// bare name, which the loader looks for on its search path.
std::filesystem::path LibraryBesideProgram(const char* fileName);

}  // namespace kiv
