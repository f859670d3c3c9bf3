#pragma once
// "vdebug.ini" beside the program: the switches of a video or input-method
// debugging session, [settings] showrdp and showcmd.
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace kiv {

// The integer of [settings] key; defaultValue when the file or the key is missing.
int32_t ReadVdebugSetting(const std::filesystem::path& programFolder, std::string_view key, int32_t defaultValue);

}  // namespace kiv
