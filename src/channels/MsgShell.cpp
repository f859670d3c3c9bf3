#include "channels/MsgShell.h"

#include <algorithm>
#include <exception>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "infra/DebugLog.h"
#include "infra/TextFormat.h"
#include "session/SessionEvents.h"

namespace kiv {

namespace {

int16_t Clamp16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

}  // namespace

int32_t PackPoint(int32_t x, int32_t y) {
    return static_cast<int32_t>((static_cast<uint32_t>(y) << 16) | (static_cast<uint32_t>(x) & 0xFFFF));
}

TMsgShell::TMsgShell(IChannelHost& host, const IDesktopFacts& desktop, IUsbLibrary* usb, TReconnectPolicy& policy,
                     TShellContext context)
    : TMsgBase(host, "CSML", kShellSignature), desktop_(desktop), usb_(usb), policy_(policy), context_(context) {}

void TMsgShell::OnRecvbuffer(const uint8_t* buffer, int32_t len) {
    if (buffer == nullptr || len < kShellMinimumLen) return;
    try {
        ProcessShellMsg(std::vector<uint8_t>(buffer, buffer + len));
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(Format("[ProcessShellMsg]:%s", {std::string_view(error.what())}));
    }
}

void TMsgShell::ProcessShellMsg(const std::vector<uint8_t>& m) {
    if (m.size() < static_cast<std::size_t>(kShellMinimumLen)) return;
    const uint16_t type = ReadU16(&m[kShellTypeOffset]);
    switch (type) {
        case SHELL_RECONNECT_POLICY:
            policy_.enabled = ReadI16(&m[5]) == 1;
            policy_.limitSeconds = ReadI16(&m[7]);
            return;
        case SHELL_QUERY_TASKBAR:
            if (context_.ScreenFull == 3) AnswerTaskbarQuery();
            return;
        case SHELL_CARET:
            if (caretSink_ != nullptr) {
                const int16_t left = ReadI16(&m[5]), top = ReadI16(&m[7]), right = ReadI16(&m[9]),
                              bottom = ReadI16(&m[11]);
                caretSink_->SetCaret(TRect{left, top, right - left, bottom - top}, ReadU32(&m[13]));
            }
            return;
        case SHELL_CLOSE_NOTICE:
            if (DebugSwitches[dmShell]) {
                const auto* name = reinterpret_cast<const char*>(&m[kShellNameOffset]);
                WriteLog("接收到了服务器端关闭应用程序的消息" + std::string(name, strnlen(name, kShellNameSize)));
            }
            return;
        case MSG_WINLOGON_SHELL_STARTED:
        case MSG_WINLOGON_SESSION_RECONNECT:
            if (!ClientInfo.empty()) {
                std::vector<uint8_t> info = InitShellBuf(ClientInfo.size() + kShellMessageSize);
                WriteU16(&info[kShellTypeOffset], SHELL_CLIENT_INFO);
                std::copy(ClientInfo.begin(), ClientInfo.end(), info.begin() + kShellTextOffset);
                SendShellBuf(info);
            }
            SendUsbInitParam();
            break;
        default:
            break;
    }
    ForwardSessionState(type, ReadI32(&m[5]), ReadI32(&m[9]));
}

std::vector<uint8_t> TMsgShell::InitShellBuf(std::size_t n) const {
    std::vector<uint8_t> message(std::max<std::size_t>(n, kShellMessageSize), 0);
    std::copy(Signature.begin(), Signature.end(), message.begin());
    return message;
}

void TMsgShell::SendShellBuf(const std::vector<uint8_t>& message) { SendData(WrapForSending(message)); }

void TMsgShell::SendShellCommand(uint16_t type) {
    std::vector<uint8_t> m = InitShellMsg();
    WriteU16(&m[kShellTypeOffset], type);
    if (type == SHELL_MOUSE_SWAP && context_.MouseButtonsSwapped) WriteI32(&m[kShellValueOffset], 1);
    SendShellMsg(m);
}

int TMsgShell::SendShellText(std::string_view name, std::string_view text, uint16_t type) {
    std::vector<uint8_t> m = InitShellBuf(text.size() + 22);
    WriteU16(&m[kShellTypeOffset], type);
    // The Name field keeps its terminating zero: at most 11 bytes of the name.
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), kShellNameSize - 1), m.begin() + kShellNameOffset);
    WriteI32(&m[kShellValueOffset], static_cast<int32_t>(text.size()));
    std::copy(text.begin(), text.end(), m.begin() + kShellTextOffset);
    SendShellBuf(m);
    return 0;
}

void TMsgShell::SendStartApp(std::string_view appId, int32_t value, std::string_view parameter) {
    std::vector<uint8_t> m = InitShellBuf(parameter.size() + kShellMessageSize);
    WriteU16(&m[kShellTypeOffset], SHELL_START_APP);
    std::copy_n(appId.begin(), std::min<std::size_t>(appId.size(), kShellNameSize - 1), m.begin() + kShellNameOffset);
    WriteI32(&m[kShellValueOffset], value);
    std::copy(parameter.begin(), parameter.end(), m.begin() + kShellTextOffset);
    SendShellBuf(m);
}

void TMsgShell::SendShellValues(uint16_t type, int32_t value, int32_t value2) {
    std::vector<uint8_t> m = InitShellMsg();
    WriteU16(&m[kShellTypeOffset], type);
    WriteI32(&m[kShellValueOffset], value);
    WriteI32(&m[kShellTextOffset], value2);
    SendShellMsg(m);
}

TTaskbarEdge TMsgShell::GetTaskbarEdge() const { return desktop_.TaskbarEdge().value_or(TTaskbarEdge::Bottom); }

std::optional<TRect> TMsgShell::GetNotifyAreaRect() const { return desktop_.NotifyAreaRect(); }

int32_t TMsgShell::GetTrayPoint() const {
    const std::optional<TRect> area = GetNotifyAreaRect();
    if (!area) {
        // No notification area: the bottom right of the work area, where a panel's
        // tray usually sits, so the server's balloons still land on screen.
        const TRect work = desktop_.PrimaryWorkArea();
        return PackPoint(work.x + work.width - 100, work.y + work.height - 5);
    }
    switch (GetTaskbarEdge()) {
        case TTaskbarEdge::Left: return PackPoint(10, area->y);
        case TTaskbarEdge::Top: return PackPoint(area->x - 100, 10);
        case TTaskbarEdge::Right: return PackPoint(area->x - 100, area->y);
        case TTaskbarEdge::Bottom: break;
    }
    return PackPoint(area->x - 100, area->y - 5);
}

void TMsgShell::AnswerTaskbarQuery() {
    std::vector<uint8_t> point = InitShellMsg();
    WriteU16(&point[kShellTypeOffset], SHELL_TRAY_POINT);
    WriteI32(&point[kShellTextOffset], GetTrayPoint());
    SendShellMsg(point);
    SendWorkArea();
}

void TMsgShell::SendWorkArea() {
    TRect area;
    if (context_.MonitorMode == 0) {
        area = desktop_.PrimaryWorkArea();
    } else {
        const TRect monitor = desktop_.MonitorArea(context_.MonitorMode);
        area = TRect{0, 0, monitor.width, monitor.height};
    }
    std::vector<uint8_t> m = InitShellMsg();
    WriteU16(&m[kShellTypeOffset], SHELL_WORK_AREA);
    WriteI16(&m[17], Clamp16(area.x));
    WriteI16(&m[19], Clamp16(area.y));
    WriteI16(&m[21], Clamp16(area.x + area.width));
    WriteI16(&m[23], Clamp16(area.y + area.height));
    SendShellMsg(m);
}

void TMsgShell::SendUsbInitParam() {
    if (usb_ != nullptr) usb_->SendClientInitParam(UsbInitParam);
}

}  // namespace kiv
