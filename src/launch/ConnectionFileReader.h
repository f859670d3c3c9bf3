#pragma once
// Turns a connection file's INI image into the settings record, then narrows it
// with the local settings of "KivClient.ini".
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "infra/IniImage.h"
#include "launch/KivFile.h"

namespace kiv {

constexpr int32_t kDefaultLogonTimeout = 30000;

// 0 when done; -1 when an error interrupted reading (a missing image, for one);
// the fields read until then keep their values.
int32_t ReadConnectionFile(const TIniImage* image, TKIVFile& record);

// Applies [Local Property] of the given "KivClient.ini" and returns [KivClient]
// TimeOut, the logon watchdog interval. A missing or unreadable file gives every
// default; no error reaches the caller.
int32_t ApplyLocalProperties(TKIVFile& record, const std::filesystem::path& localIni);

// Part 0 is the text before the first ":", part 1 the text after it; both are
// empty when the text has no ":".
std::string SplitHostPort(std::string_view text, int part);

}  // namespace kiv
