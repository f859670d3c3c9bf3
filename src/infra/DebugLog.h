#pragma once
// The diagnostic log and its per-module switches. Every call site tests its
// module's switch before it builds a message:
//     if (DebugSwitches[dmMain]) WriteLog("[TRdpClient.DisconnectServer]...");
// The switches are read once at start from the machine settings store
// ([Debug] KivClient: "all", or module names separated by commas or blanks).
#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace kiv {

enum TDebugModule { dmMain = 0, dmShell = 1, dmSml = 2, dmTray = 3, dmPrint = 4, dmFolder = 5, dmSpeed = 6 };
inline constexpr std::size_t kDebugSlotCount = 10;  // slots 7 to 9 are reserved; only "all" sets them

extern std::array<bool, kDebugSlotCount> DebugSwitches;

// Sets the switches from the settings value and takes the process id for the log lines.
void InitDebugSwitches(std::string_view value);

// $XDG_STATE_HOME (or ~/.local/state) + "/VYNClient6.0/KivClient.log".
std::filesystem::path DefaultLogFilePath();
// Tests point the log elsewhere; the default is DefaultLogFilePath().
void SetLogFilePath(const std::filesystem::path& path);
const std::filesystem::path& LogFilePath();

// Appends "[pid]tid<TAB>yyyy-mm-dd hh:nn:ss message" + CR LF. A failing write is
// swallowed: logging never breaks the caller.
void WriteLog(std::string_view message);

}  // namespace kiv
