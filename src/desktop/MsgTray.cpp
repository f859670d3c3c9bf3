#include "desktop/MsgTray.h"

#include <exception>
#include <span>
#include <stdexcept>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "desktop/TrayTooltip.h"
#include "infra/CodePage.h"
#include "infra/DebugLog.h"

namespace kiv {

namespace {

void LogException(const char* what) {
    if (DebugSwitches[dmMain]) WriteLog(std::string("[TMsgTray]Exception:") + what);
}

uint32_t DownMessage(TTrayButton button) {
    switch (button) {
        case TTrayButton::Left: return kTrayLeftDown;
        case TTrayButton::Right: return kTrayRightDown;
        case TTrayButton::Middle: return kTrayMiddleDown;
    }
    return 0;
}

uint32_t UpMessage(TTrayButton button) {
    switch (button) {
        case TTrayButton::Left: return kTrayLeftUp;
        case TTrayButton::Right: return kTrayRightUp;
        case TTrayButton::Middle: return kTrayMiddleUp;
    }
    return 0;
}

bool WellFormed(const TIconImage& image) {
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

}  // namespace

TMsgTray::TMsgTray(IChannelHost& host, TTrayPorts ports)
    : TMsgBase(host, "CSML", kTraySignature), IconList(ports.icons), ports_(ports) {
    if (ports_.icons) ports_.icons->SetEventSink(this);
}

TMsgTray::~TMsgTray() {
    IconList.Clear();
    if (ports_.icons) ports_.icons->SetEventSink(nullptr);
}

void TMsgTray::OnRecvbuffer(const uint8_t* buffer, int32_t len) {
    if (len < kTrayHeaderSize) return;
    try {
        const TTrayMsgHeader header = ReadTrayHeader(buffer);
        if (len < kTrayHeaderSize + header.IconSize) return;  // the icon was cut off
        if (header.IconSize == 0) {
            ProcessTrayMessage(header, nullptr);
            return;
        }
        const TTrayIconImage image = LoadIcon(buffer + kTrayHeaderSize, header.IconSize);
        ProcessTrayMessage(header, &image);
    } catch (const std::exception& error) {
        LogException(error.what());
    } catch (...) {
        LogException("");
    }
}

TTrayIconImage TMsgTray::LoadIcon(const uint8_t* bytes, uint16_t size) const {
    if (ports_.decoder == nullptr) throw std::runtime_error("no reader for icon images");
    TTrayIconImage image;
    for (TIconImage& decoded : ports_.decoder->DecodeIconFile(std::span<const uint8_t>(bytes, size)))
        if (WellFormed(decoded)) image.images.push_back(std::move(decoded));
    if (image.images.empty()) throw std::runtime_error("the icon image can not be read");
    return image;
}

void TMsgTray::SetHint(TTrayIconKey icon, const TTrayMsgHeader& header) {
    if (icon != 0 && ports_.icons) ports_.icons->SetTrayIconTooltip(icon, TrayTooltip(SystemToUtf8(header.Tip)));
}

void TMsgTray::ProcessTrayMessage(const TTrayMsgHeader& header, const TTrayIconImage* image) {
    const int index = IconList.Find(header.Operation, header.ServerWindow, header.IconId, header.CallbackMessage);
    switch (header.Operation) {
        case kTrayAdd:
        case kTrayModify: {
            if (TTrayIconEntry* found = IconList.Get(index)) {
                // The entry keeps the window, id and callback message it was made with.
                if (image && found->Icon != 0 && ports_.icons) ports_.icons->SetTrayIconImage(found->Icon, *image);
                SetHint(found->Icon, header);
                return;
            }
            TTrayIconEntry entry;
            entry.Icon = ports_.icons ? ports_.icons->CreateTrayIcon() : 0;
            SetHint(entry.Icon, header);
            entry.ServerWindow = header.ServerWindow;
            entry.IconId = header.IconId;
            entry.CallbackMessage = header.CallbackMessage;
            // Without an image the icon stays out of sight until a message brings one.
            if (image && entry.Icon != 0) ports_.icons->SetTrayIconImage(entry.Icon, *image);
            IconList.Add(entry);
            return;
        }
        case kTrayDelete:
            IconList.Delete(index);
            return;
        default:
            return;
    }
}

bool TMsgTray::BuildMouseMessage(TTrayIconKey icon, uint16_t callbackOverride, TTrayMouseMsg& message,
                                 uint32_t mouseMessage) {
    if (icon == 0 || mouseMessage == 0) return false;
    const TTrayIconEntry* entry = IconList.Get(IconList.IndexOfIcon(icon));
    if (entry == nullptr) return false;
    message.fill(0);
    message[0] = kTraySignature[0];
    message[1] = kTraySignature[1];
    message[2] = kTraySignature[2];
    WriteI32(message.data() + kTrayMouseWindowOffset, entry->ServerWindow);
    WriteI32(message.data() + kTrayMouseIconIdOffset, entry->IconId);
    WriteU32(message.data() + kTrayMouseCallbackOffset, callbackOverride != 0 ? callbackOverride : entry->CallbackMessage);
    WriteU32(message.data() + kTrayMouseMessageOffset, mouseMessage);
    const TTrayPoint cursor = ports_.icons ? ports_.icons->CursorPos() : TTrayPoint{};
    WriteU32(message.data() + kTrayMouseCursorOffset, PackTrayCursor(cursor.x, cursor.y));
    // The local window that held the focus gives it up: the application's answer
    // (a menu, a window) opens in the session window, which comes forward next.
    if (ports_.icons) ports_.icons->ActivateDesktopWindow();
    return true;
}

int TMsgTray::SendMouseMessage(const TTrayMouseMsg& message) {
    try {
        if (ports_.icons) ports_.icons->BringApplicationToFront();
        SendData(WrapForSending(message));
    } catch (...) {
        const int32_t serverWindow = ReadI32(message.data() + kTrayMouseWindowOffset);
        IconList.Delete(IconList.Find(kTrayAnyOfWindow, serverWindow, 0, 0));
        return -2;
    }
    return 0;
}

void TMsgTray::OnTrayButtonDown(TTrayIconKey icon, TTrayButton button) { OnMouse(icon, DownMessage(button)); }

void TMsgTray::OnTrayButtonUp(TTrayIconKey icon, TTrayButton button) { OnMouse(icon, UpMessage(button)); }

void TMsgTray::OnMouse(TTrayIconKey icon, uint32_t mouseMessage) {
    // An event handler lets nothing escape into the event loop.
    try {
        TTrayMouseMsg message{};
        if (BuildMouseMessage(icon, 0, message, mouseMessage)) SendMouseMessage(message);
    } catch (const std::exception& error) {
        LogException(error.what());
    } catch (...) {
        LogException("");
    }
}

}  // namespace kiv
