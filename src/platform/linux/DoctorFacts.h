#pragma once
// What the doctor can learn about this machine without the X display: the
// client's folders, the file-type registration and who opens the types, the
// input method, the fonts, the language files, the proxy environment and the
// CA store. Programs (xdg-mime, fc-list, dbus-send) are asked where installed,
// each for at most a few seconds.
#include <filesystem>

#include "desktop/DoctorReport.h"

namespace kiv {

void GatherLinuxDoctorFacts(TDoctorFacts& facts, const std::filesystem::path& programFolder);

// Makes the client's missing folders (mode 0700) and takes other users' rights
// off the ones that have them; marks what it changed.
void RepairFolders(TDoctorFacts& facts);

}  // namespace kiv
