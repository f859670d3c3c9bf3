#include "channels/CustomMessages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "channels/ByteOrder.h"
#include "infra/DebugLog.h"
#include "infra/TextFormat.h"
#include "infra/TextRules.h"
#include "launch/VdebugIni.h"

namespace kiv {

namespace {

// A word the shell takes as it is; anything else goes in single quotes, so a
// server cannot smuggle commands in through the port it sends.
std::string ShellWord(std::string_view text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::strchr("._:/@%+=,-", c) != nullptr;
    });
    if (plain) return std::string(text);
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

bool MainOn() { return DebugSwitches[dmMain]; }

void LogMain(std::string_view line) {
    if (MainOn()) WriteLog(line);
}

}  // namespace

TVideoRequest ParseVideoRequest(std::string_view customText) {
    const std::string_view first = customText.substr(0, customText.find('|'));
    const std::size_t colon = first.find(':');
    if (colon == std::string_view::npos) return TVideoRequest{std::string(first), ""};
    return TVideoRequest{std::string(first.substr(0, colon)), std::string(first.substr(colon + 1))};
}

std::string VideoStreamerCommand() { return "vx_sdk/vstreamer"; }

std::string VideoDisplayCommand(std::string_view serverHost, std::string_view port, uint64_t imeWindowHandle) {
    char handle[32];
    std::snprintf(handle, sizeof handle, "%.2llX", static_cast<unsigned long long>(imeWindowHandle));
    return "vx_sdk/vx_display -v " + ShellWord(Trimmed(serverHost) + ":" + std::string(port)) + " -hw " + handle;
}

TCustomMessageHandler::TCustomMessageHandler(TMsgShell& shell, const TKIVFile& record, ICommandRunner* runner,
                                             ITimerFactory& timers, TContext context)
    : shell_(shell), record_(record), runner_(runner), timers_(timers), context_(std::move(context)) {}

TCustomMessageHandler::~TCustomMessageHandler() = default;

void TCustomMessageHandler::ProcessCustomMsg(const uint8_t* buffer, int32_t len) {
    if (buffer == nullptr || len < kCustomMessageSize) return;
    LogMain("处理自定义消息");
    try {
        const std::vector<uint8_t> message(buffer, buffer + len);
        const int32_t type = ReadI32(&message[kCustomTypeOffset]);
        const auto* text = reinterpret_cast<const char*>(&message[kCustomTextOffset]);
        const std::string_view customText(text, strnlen(text, kCustomTextSize));
        if (type == CUSTOM_SERVER_ADDRESS) AnswerServerAddress();
        else if (type == CUSTOM_START_VIDEO) StartVideo(customText);
    } catch (const std::exception& error) {
        if (MainOn()) LogMain(Format("[ProcessShellMsg]:%s", {std::string_view(error.what())}));
    }
}

void TCustomMessageHandler::AnswerServerAddress() {
    const std::string host = Trimmed(record_.ServerHost.str());
    std::vector<uint8_t> answer(kCustomMessageSize, 0);
    std::copy(kCustomSignature.begin(), kCustomSignature.end(), answer.begin());
    WriteI32(&answer[kCustomTypeOffset], CUSTOM_SERVER_ADDRESS);
    std::copy_n(host.begin(), std::min<std::size_t>(host.size(), kCustomTextSize - 1),
                answer.begin() + kCustomTextOffset);
    shell_.SendShellBuf(answer);
    if (MainOn()) LogMain("发送服务器端通信IP:" + host);
}

void TCustomMessageHandler::StartVideo(std::string_view customText) {
    const TVideoRequest request = ParseVideoRequest(customText);
    const bool shown = ReadVdebugSetting(context_.programFolder, "showcmd", 0) != 0;
    if (MainOn()) LogMain("收到客户端通信IP:" + request.clientAddress);
    const std::string streamer = VideoStreamerCommand();
    if (MainOn()) LogMain("启动视频通信模块:" + streamer);
    Run(streamer, shown);
    // The display needs the streamer up; a timer waits for it, the GUI goes on.
    auto self = std::make_shared<ITimer*>(nullptr);
    std::unique_ptr<ITimer> timer = timers_.CreateTimer([this, self, port = request.port, shown] {
        (*self)->Stop();
        const uint64_t handle = context_.imeWindowHandle ? context_.imeWindowHandle() : 0;
        const std::string display = VideoDisplayCommand(record_.ServerHost.str(), port, handle);
        if (MainOn()) LogMain("启动视频通信模块:" + display);
        Run(display, shown);
    });
    *self = timer.get();
    timer->Start(kVideoDisplayDelayMs);
    // Displays that started already are done with their timers.
    std::erase_if(pendingDisplays_, [](const std::unique_ptr<ITimer>& t) { return !t->Active(); });
    pendingDisplays_.push_back(std::move(timer));
}

void TCustomMessageHandler::Run(const std::string& commandLine, bool shown) {
    // Whether the programs start is not the client's to know: nothing is reported.
    if (runner_ != nullptr) runner_->RunShellCommand(commandLine, context_.programFolder.string(), shown);
}

}  // namespace kiv
