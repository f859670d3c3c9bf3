#pragma once
// The shell channel handler: receives every shell message, answers the server
// shell's questions about the local desktop, and forwards everything else to the
// session state machine as a session event. It is also the family's sending tool.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "channels/MsgBase.h"
#include "channels/ShellMessages.h"
#include "ports/DesktopFacts.h"
#include "ports/UsbLibrary.h"

namespace kiv {

// The input-method window's side of the caret message.
class ICaretSink {
public:
    virtual ~ICaretSink() = default;
    virtual void SetCaret(const TRect& caret, uint32_t flags) = 0;
};

// What the handler reads of the session it serves.
struct TShellContext {
    int32_t ScreenFull = 0;
    bool MouseButtonsSwapped = false;  // read once at start-up
    int MonitorMode = 0;               // 0 whole desktop, 1 first, 2 second, 3 both
};

class TMsgShell : public TMsgBase {
public:
    TMsgShell(IChannelHost& host, const IDesktopFacts& desktop, IUsbLibrary* usb, TReconnectPolicy& policy,
              TShellContext context);

    void OnRecvbuffer(const uint8_t* buffer, int32_t len) override;
    void ProcessShellMsg(const std::vector<uint8_t>& message);

    // A zeroed message of n bytes (at least 25) with the signature written.
    std::vector<uint8_t> InitShellBuf(std::size_t n) const;
    std::vector<uint8_t> InitShellMsg() const { return InitShellBuf(kShellMessageSize); }
    void SendShellBuf(const std::vector<uint8_t>& message);
    void SendShellMsg(const std::vector<uint8_t>& message) { SendShellBuf(message); }

    void SendShellCommand(uint16_t type);
    // Name (at most 11 bytes are kept), Value = the text's length, the text at 21.
    int SendShellText(std::string_view name, std::string_view text, uint16_t type);
    // SHELL_START_APP: Name = the application, Value as given, Text = the parameter.
    void SendStartApp(std::string_view appId, int32_t value, std::string_view parameter);
    // Two numbers: Value and Value2 (SHELL_TRAFFIC, SHELL_DESKTOP_SIZE).
    void SendShellValues(uint16_t type, int32_t value, int32_t value2);

    TTaskbarEdge GetTaskbarEdge() const;
    std::optional<TRect> GetNotifyAreaRect() const;
    // Where the server shell shows its balloons: near the notification area.
    int32_t GetTrayPoint() const;
    void SendUsbInitParam();

    void SetCaretSink(ICaretSink* sink) { caretSink_ = sink; }
    void SetContext(const TShellContext& context) { context_ = context; }

    std::string ClientInfo;
    std::string UsbInitParam;

private:
    void AnswerTaskbarQuery();
    void SendWorkArea();

    const IDesktopFacts& desktop_;
    IUsbLibrary* usb_;
    TReconnectPolicy& policy_;
    TShellContext context_;
    ICaretSink* caretSink_ = nullptr;
};

// x in the low 16 bits, y in the high 16 bits.
int32_t PackPoint(int32_t x, int32_t y);

}  // namespace kiv
