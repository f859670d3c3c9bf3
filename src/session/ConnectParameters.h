#pragma once
// The values the connect sequence derives from the settings record before it
// hands them to the control: performance flags, colour depth, the logon, the
// server shell's command line, the load-balancing cookie, the plug-in list.
#include <cstdint>
#include <string>
#include <string_view>

#include "launch/KivFile.h"
#include "ports/MachineSettings.h"
#include "ports/RemoteDesktopControl.h"

namespace kiv {

int32_t GetPerformanceFlags(const TKIVFile& record);
// 15, 16, 24 or 32 bits for Color 1..4; 15 for anything else.
int32_t ColorDepthOf(int32_t color);

struct TLogon {
    std::string user;
    std::string domain;
    std::string password;
    bool setPassword = true;  // an empty decoded password is not handed to the control
};
// kivFileIsEn: the logon fields are stored encoded. A decoded domain holding
// ".COM" keeps what stands before it, and the user becomes domain\user.
TLogon BuildLogon(const TKIVFile& record, bool kivFileIsEn);

// The server shell's command line when a shell path is configured.
std::string BuildStartProgram(const TKIVFile& record, std::string_view fingerPrint, std::string_view fingerPrint2,
                              std::string_view charset);
// The folder part of the shell path, up to and including its last "\" or ":".
std::string ShellWorkDir(std::string_view shellPath);
// The logon parameters the shell channel hands to the server shell when no shell path is set.
std::string BuildClientInfo(const TKIVFile& record, std::string_view fingerPrint, std::string_view fingerPrint2,
                            std::string_view charset);
std::string BuildUsbInitParam(const TKIVFile& record, std::string_view fingerPrint, std::string_view fingerPrint2);

// "AGS:" + session id cut to 15 bytes, a zero byte when that is odd, then CR LF:
// the bytes of the wide string the control takes as its load-balance info.
TBytes BuildLoadBalanceInfo(std::string_view sessionId);

// The installed device-redirection add-ins ([AddIns] of the machine settings:
// name = library path), comma-separated, only those whose library exists.
std::string GetRdpdrAddIns(const IMachineSettings& machine);
// The add-ins lower-cased, with the USB and printer plug-ins appended when missing.
std::string BuildPluginDlls(std::string_view addIns);

}  // namespace kiv
