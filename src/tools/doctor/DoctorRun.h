#pragma once
// One run of the doctor: gathers the facts of this machine, repairs what it can
// when asked (the client's folders, the file-type registration), and prints the
// plain report. Answers the exit code: 0 when nothing the client needs is missing.
#include <filesystem>
#include <ostream>

namespace kiv {

enum class TDoctorMode { Look, Repair };

int RunDoctor(TDoctorMode mode, const std::filesystem::path& programFolder, std::ostream& out);

}  // namespace kiv
