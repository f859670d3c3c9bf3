// kivtool decode: how the client routes one received channel payload, and
// what the shell and seamless messages in it say, read with the client's own
// readers.
#include <cstdio>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "channels/ChannelRouter.h"
#include "channels/ShellMessages.h"
#include "channels/SmlIcon.h"
#include "channels/SmlMessages.h"
#include "channels/SmlRegionBlock.h"
#include "channels/SmlWindowMsg.h"
#include "session/SessionEvents.h"
#include "launch/CredentialCodec.h"  // TextToHex
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

TBytes ParseHex(const std::string& text) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    TBytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-') continue;
        const int d = digit(c);
        if (d < 0) throw TUsageError{"the payload is not hex"};
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + d));
            high = -1;
        }
    }
    if (high >= 0) throw TUsageError{"the payload needs an even number of hex digits"};
    return out;
}

std::string HexNumber(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

int64_t ReadHandle(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return static_cast<int64_t>(v);
}

struct TNamed {
    uint32_t value;
    const char* name;
};

const char* NameOf(std::initializer_list<TNamed> names, uint32_t value) {
    for (const TNamed& n : names)
        if (n.value == value) return n.name;
    return nullptr;
}

Json Rects(const std::vector<TSmlRect>& rects) {
    Json out = Json::array();
    for (const TSmlRect& r : rects) out.push_back({r.left, r.top, r.right, r.bottom});
    return out;
}

// The icon part: how many images its directory lists and their sizes, and the
// image the client would take.
Json DecodeIcon(std::span<const uint8_t> icon) {
    Json j;
    j["Images"] = icon.size() >= 6 ? ReadU16(icon.data() + 4) : 0;
    Json sizes = Json::array();
    for (const TIconEntry& entry : ReadIconDirectory(icon))
        sizes.push_back({{"Width", entry.width}, {"Height", entry.height}, {"BitCount", entry.bitCount}});
    j["ImageSizes"] = sizes;
    if (const auto image = LoadIconFile(icon, nullptr)) {
        j["Taken"] = {{"Width", image->width}, {"Height", image->height}};
    } else {
        j["Taken"] = nullptr;
    }
    return j;
}

Json DecodeWindowUpdate(const TSmlParts& parts) {
    const TSmlWindowMsg& h = parts.header;
    Json j;
    j["Message"] = "window update";
    j["ServerHandle"] = h.ServerHandle;
    j["Flags"] = HexNumber(h.Flags, 4);
    Json flags = Json::array();
    for (const TNamed& f : {TNamed{SML_TITLE, "SML_TITLE"}, TNamed{SML_ICON, "SML_ICON"},
                            TNamed{SML_CREATE_MOVE, "SML_CREATE_MOVE"}, TNamed{0x0008, "0x0008"},
                            TNamed{SML_DESTROY, "SML_DESTROY"}, TNamed{SML_ACTIVATE, "SML_ACTIVATE"},
                            TNamed{SML_SHOW, "SML_SHOW"}, TNamed{SML_HIDE, "SML_HIDE"},
                            TNamed{SML_MINIMIZE, "SML_MINIMIZE"}})
        if (h.Flags & f.value) flags.push_back(f.name);
    j["FlagNames"] = flags;
    j["InTaskbar"] = h.InTaskbar;
    j["Style"] = HexNumber(static_cast<uint32_t>(h.Style), 8);
    j["Menu"] = static_cast<uint32_t>(h.Style) == MenuWindowStyle;
    j["Left"] = h.Left;
    j["Top"] = h.Top;
    j["Right"] = h.Right;
    j["Bottom"] = h.Bottom;
    j["TitleSize"] = h.TitleSize;
    j["Title"] = Utf16ToUtf8(ReadSmlTitle(parts.title));
    j["IconSize"] = h.IconSize;
    if (h.IconSize != 0) j["Icon"] = DecodeIcon(parts.icon);
    j["RegionSize"] = h.RegionSize;
    if (h.RegionSize != 0) {
        const auto relative = MakeScreenRegionBlock(parts.region, 0, 0);
        if (relative) {
            j["Region"] = Rects(RegionBlockRects(*relative));
            j["RegionOnScreen"] = Rects(RegionBlockRects(*MakeScreenRegionBlock(parts.region, h.Left, h.Top)));
        } else {
            j["Region"] = "shorter than its header: a plain rectangle";
        }
    }
    return j;
}

Json DecodeWindowEvent(const TBytes& payload) {
    Json j;
    j["Message"] = "window event";
    j["ServerHandle"] = ReadHandle(payload.data() + kSmlServerHandleOffset);
    const uint16_t command = ReadU16(payload.data() + kSmlCommandOffset);
    j["Command"] = HexNumber(command, 4);
    const char* name = NameOf({{SML_CMD_SYSMENU, "SML_CMD_SYSMENU"},
                               {SML_CMD_MENU_DONE, "SML_CMD_MENU_DONE"},
                               {SML_CMD_WORKAREA, "SML_CMD_WORKAREA"},
                               {SML_CMD_ACTIVATE, "SML_CMD_ACTIVATE"},
                               {SML_CMD_CLOSE, "SML_CMD_CLOSE"}},
                              command);
    j["CommandName"] = name ? Json(name) : Json(nullptr);
    const uint8_t* data = payload.data() + kSmlDataOffset;
    j["Data"] = TextToHex(std::string(data, data + 8));
    const uint32_t value = ReadU32(data);
    if (command == SML_CMD_SYSMENU || command == SML_CMD_MENU_DONE) {
        j["CursorX"] = ReadI16(data);
        j["CursorY"] = ReadI16(data + 2);
    } else if (command == SML_CMD_WORKAREA) {
        j["WorkArea"] = {ReadI16(data), ReadI16(data + 2), ReadI16(data + 4), ReadI16(data + 6)};
    } else if (command == SML_CMD_ACTIVATE) {
        j["State"] = value & 0xFFFF;
        j["Minimized"] = (value >> 16) != 0;
    }
    return j;
}

Json DecodeSeamless(const TBytes& payload) {
    const TReceivedMessage received = UnwrapReceived(payload);
    if (received.len >= kSmlHeaderSize) {
        if (const auto parts = SplitSmlWindowMsg(received.buffer.data(), received.len))
            return DecodeWindowUpdate(*parts);
        return Json{{"Dropped", "its parts do not fit in len"}};
    }
    if (payload.size() >= static_cast<std::size_t>(kSmlClientMsgSize)) return DecodeWindowEvent(payload);
    return Json{{"Dropped", "shorter than a window update (len below 38)"}};
}

const char* ServerShellName(uint16_t type) {
    return NameOf({{SHELL_RECONNECT_POLICY, "SHELL_RECONNECT_POLICY"},
                   {SHELL_QUERY_TASKBAR, "SHELL_QUERY_TASKBAR"},
                   {SHELL_CARET, "SHELL_CARET"},
                   {SHELL_CLOSE_NOTICE, "SHELL_CLOSE_NOTICE"},
                   {MSG_WINLOGON_AUTH_RESULT, "MSG_WINLOGON_AUTH_RESULT"},
                   {MSG_WINLOGON_MULTEACCOUNT, "MSG_WINLOGON_MULTEACCOUNT"},
                   {MSG_WINLOGON_HIDE_WINDOW, "MSG_WINLOGON_HIDE_WINDOW"},
                   {MSG_WINLOGON_LOGON_OK, "MSG_WINLOGON_LOGON_OK"},
                   {MSG_WINLOGON_LOGON_ERROR, "MSG_WINLOGON_LOGON_ERROR"},
                   {MSG_WINLOGON_SESSION_LOGOFF, "MSG_WINLOGON_SESSION_LOGOFF"},
                   {MSG_WINLOGON_SHELL_LOADING, "MSG_WINLOGON_SHELL_LOADING"},
                   {MSG_WINLOGON_SHELL_STARTED, "MSG_WINLOGON_SHELL_STARTED"},
                   {MSG_WINLOGON_APP_LOADED, "MSG_WINLOGON_APP_LOADED"},
                   {MSG_WINLOGON_APP_RUN_ERROR, "MSG_WINLOGON_APP_RUN_ERROR"},
                   {MSG_WINLOGON_APP_READY, "MSG_WINLOGON_APP_READY"},
                   {MSG_WINLOGON_SESSION_RECONNECT, "MSG_WINLOGON_SESSION_RECONNECT"},
                   {MSG_WINLOGON_SESSION_DISCONNECT, "MSG_WINLOGON_SESSION_DISCONNECT"},
                   {MSG_WINLOGON_SESSION_ERROR, "MSG_WINLOGON_SESSION_ERROR"},
                   {MSG_WINLOGON_SESSION_CONNECTED, "MSG_WINLOGON_SESSION_CONNECTED"},
                   {MSG_WINLOGON_SESSION_CONNECTING, "MSG_WINLOGON_SESSION_CONNECTING"}},
                  type);
}

const char* ClientShellName(uint16_t type) {
    return NameOf({{SHELL_TRAY_POINT, "SHELL_TRAY_POINT"},
                   {SHELL_START_APP, "SHELL_START_APP"},
                   {SHELL_EXIT, "SHELL_EXIT"},
                   {SHELL_CLIENT_INFO, "SHELL_CLIENT_INFO"},
                   {SHELL_DRIVE_PATHS, "SHELL_DRIVE_PATHS"},
                   {SHELL_MOUSE_SWAP, "SHELL_MOUSE_SWAP"},
                   {SHELL_SUSPEND, "SHELL_SUSPEND"},
                   {SHELL_WORK_AREA, "SHELL_WORK_AREA"},
                   {SHELL_DESKTOP_SIZE, "SHELL_DESKTOP_SIZE"},
                   {SHELL_IME_TEXT, "SHELL_IME_TEXT"},
                   {SHELL_TRAFFIC, "SHELL_TRAFFIC"},
                   {SHELL_RECONNECTED, "SHELL_RECONNECTED"}},
                  type);
}

// A shell message read both ways: the type tables of the two directions
// overlap (0x8000 is a reconnection either way), so the reader says which.
Json DecodeShell(const TBytes& payload) {
    const TReceivedMessage received = UnwrapReceived(payload);
    if (received.len < kShellMinimumLen) return Json{{"Dropped", "len below 17"}};
    const uint8_t* m = received.buffer.data();
    const uint16_t type = ReadU16(m + kShellTypeOffset);
    Json j;
    j["Type"] = HexNumber(type, 4);
    Json server;
    const char* serverName = ServerShellName(type);
    server["TypeName"] = serverName ? Json(serverName) : Json(nullptr);
    if (type == SHELL_RECONNECT_POLICY) {
        server["Enabled"] = ReadI16(m + 5) == 1;
        server["LimitSeconds"] = ReadI16(m + 7);
    } else if (type == SHELL_CARET) {
        server["Caret"] = {ReadI16(m + 5), ReadI16(m + 7), ReadI16(m + 9), ReadI16(m + 11)};
        server["CaretFlags"] = ReadU32(m + 13);
    } else {
        server["Param1"] = ReadI32(m + 5);
        server["Param2"] = ReadI32(m + 9);
    }
    j["AsServerMessage"] = server;
    if (payload.size() >= static_cast<std::size_t>(kShellMessageSize)) {
        Json client;
        const char* clientName = ClientShellName(type);
        client["TypeName"] = clientName ? Json(clientName) : Json(nullptr);
        std::string name;
        for (int i = 0; i < kShellNameSize && m[kShellNameOffset + i] != 0; ++i) name += static_cast<char>(m[kShellNameOffset + i]);
        client["Name"] = name;
        client["Value"] = ReadI32(m + kShellValueOffset);
        client["Value2"] = ReadI32(m + kShellTextOffset);
        std::string text;
        for (std::size_t i = kShellTextOffset; i < payload.size() && payload[i] != 0; ++i) text += static_cast<char>(payload[i]);
        client["Text"] = text;
        j["AsClientMessage"] = client;
    }
    return j;
}

int RunDecode(const TArgs& args) {
    if (args.size() != 2) throw TUsageError{"expects a channel name and the payload in hex"};
    const TBytes payload = ParseHex(args[1]);
    const TRoute route = RouteOf(args[0], payload);
    Json j;
    j["Channel"] = args[0];
    j["Family"] = std::string(FamilyName(route.family));
    j["Bytes"] = payload.size();
    if (route.family == TChannelFamily::Dropped) {
        j["Dropped"] = std::string(route.dropReason);
    } else {
        j["Signature"] = TextToHex(std::string(payload.begin(), payload.begin() + 3));
        // The folder family takes the payload whole; the others see the len rule.
        if (route.family != TChannelFamily::Folder) j["Len"] = ReceivedLen(payload.size());
        if (route.family == TChannelFamily::Seamless) j["Seamless"] = DecodeSeamless(payload);
        if (route.family == TChannelFamily::Shell) j["Shell"] = DecodeShell(payload);
    }
    PrintJson(j);
    return 0;
}

const TRegisterCommand kDecode{"decode", RunDecode,
                               "decode CHANNEL HEX    which family a received payload belongs to, its len, and the shell or seamless fields"};

}  // namespace

}  // namespace kiv::tool
