#pragma once
// The custom family: requests of a server-side companion that are not part of
// the shell protocol. The server asks for the address under which the client
// reaches it, or asks the client to start its video programs ("vx_sdk" beside
// the client), which draw into the input-method window.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "channels/MsgShell.h"
#include "launch/KivFile.h"
#include "ports/CommandRunner.h"
#include "ports/Timer.h"

namespace kiv {

inline constexpr int32_t CUSTOM_SERVER_ADDRESS = 1;
inline constexpr int32_t CUSTOM_START_VIDEO = 2;

// Both directions: signature, CustomType (i32), CustomText (1024 bytes, zero-terminated).
inline constexpr int kCustomTypeOffset = 3;
inline constexpr int kCustomTextOffset = 7;
inline constexpr int kCustomTextSize = 1024;
inline constexpr int kCustomMessageSize = kCustomTextOffset + kCustomTextSize;  // 1031

// The streamer starts at once, the display this long after it.
inline constexpr int kVideoDisplayDelayMs = 3000;

// The first "|" field of a start request, split at its first ":".
struct TVideoRequest {
    std::string clientAddress;  // only logged
    std::string port;
};
TVideoRequest ParseVideoRequest(std::string_view customText);

// The command lines, run by the shell in the client's folder. The display gets
// the server's address with the port, and the input-method window's X11 id in
// upper-case hex (at least two digits) to draw in. Values that the shell would
// read as more than a word are quoted.
std::string VideoStreamerCommand();
std::string VideoDisplayCommand(std::string_view serverHost, std::string_view port, uint64_t imeWindowHandle);

class TCustomMessageHandler {
public:
    struct TContext {
        std::filesystem::path programFolder;
        // The input-method window's handle at the moment the display starts (0: none).
        std::function<uint64_t()> imeWindowHandle;
    };

    TCustomMessageHandler(TMsgShell& shell, const TKIVFile& record, ICommandRunner* runner, ITimerFactory& timers,
                          TContext context);
    ~TCustomMessageHandler();

    // A received custom message; len follows the payload rule. Shorter than a
    // whole message: dropped before anything else.
    void ProcessCustomMsg(const uint8_t* buffer, int32_t len);

private:
    void AnswerServerAddress();
    void StartVideo(std::string_view customText);
    void Run(const std::string& commandLine, bool shown);

    TMsgShell& shell_;
    const TKIVFile& record_;
    ICommandRunner* runner_;
    ITimerFactory& timers_;
    TContext context_;
    std::vector<std::unique_ptr<ITimer>> pendingDisplays_;
};

}  // namespace kiv
