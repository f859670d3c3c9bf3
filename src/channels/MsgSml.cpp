#include "channels/MsgSml.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <new>
#include <string_view>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "channels/SmlIcon.h"
#include "channels/SmlRegionBlock.h"
#include "channels/SmlTaskbarIcon.h"
#include "channels/SmlWindowMsg.h"
#include "infra/DebugLog.h"

namespace kiv {

namespace {

constexpr const char* kActPrefix = "[无缝单元-处理服务器消息]";
constexpr const char* kProcPrefix = "[TMsgSml.DummyWindowCallbackProc]";
constexpr uint64_t kSysCommandMask = 0xFFF0;
constexpr uint64_t kSysCommandClose = 0xF060;

__attribute__((format(printf, 1, 2))) std::string Printf(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// The lines of this handler are built only when their switch is on: the
// update path runs for every window move, and a thrown-away line would cost
// more than the update itself.
bool SmlOn() { return DebugSwitches[dmSml]; }

void LogSml(std::string_view line) {
    if (SmlOn()) WriteLog(line);
}

// For lines that take formatting: make() runs only when the switch is on.
template <class TMake>
void LogSmlWith(TMake&& make) {
    if (SmlOn()) WriteLog(make());
}

void LogAct(std::string_view text) {
    if (SmlOn()) WriteLog(std::string(kActPrefix).append(text));
}

void LogProc(std::string_view text) {
    if (SmlOn()) WriteLog(std::string(kProcPrefix).append(text));
}

std::string HandleAndRect(const char* prefix, int64_t handle, int left, int top, int right, int bottom) {
    return Printf("%sHandle:0x%.4llx left=%.4d top=%.4d right=%.4d bottom=%.4d", prefix,
                  static_cast<unsigned long long>(handle), left, top, right, bottom);
}

void WriteI64(uint8_t* p, int64_t value) {
    const auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int64_t ReadI64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return static_cast<int64_t>(v);
}

TSmlClientMsg NewClientMsg() {
    TSmlClientMsg message{};
    message[0] = kSmlSignature[0];
    message[1] = kSmlSignature[1];
    message[2] = kSmlSignature[2];
    return message;
}

// x in the low 16 bits, y in the high 16 bits.
uint32_t PackCursor(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(y) << 16) | (static_cast<uint32_t>(x) & 0xFFFF);
}

void StoreRectAndRegion(TSmlWindowRec& record, const TSmlWindowMsg& header,
                        const std::optional<std::vector<uint8_t>>& region) {
    record.Left = header.Left;
    record.Top = header.Top;
    record.Right = header.Right;
    record.Bottom = header.Bottom;
    // The record gives up the block it held; a copy keeps the message's own
    // block valid for the further steps of the same message.
    record.Region = region ? *region : std::vector<uint8_t>();
    record.RegionSize = static_cast<uint32_t>(record.Region.size());
}

// A minimized server window is parked far off the screen.
bool Parked(const TSmlWindowRec& r) { return r.Left < 0 && r.Top < 0 && r.Right < 0 && r.Bottom < 0; }

TSmlRect WindowRect(const TSmlWindowRec& r) {
    // Like a rectangle region, whichever way round the edges came.
    return TSmlRect{std::min<int32_t>(r.Left, r.Right), std::min<int32_t>(r.Top, r.Bottom),
                    std::max<int32_t>(r.Left, r.Right), std::max<int32_t>(r.Top, r.Bottom)};
}

constexpr TSmlRect kWholePlane{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

// Adds what a record shows inside area (its rectangle, or where its rectangle
// and its region meet), cut to area.
void AddParts(const TSmlWindowRec& record, const TSmlRect& area, std::vector<TSmlRect>& parts) {
    if (Parked(record)) return;
    const TSmlRect seen = Intersect(WindowRect(record), area);
    if (seen.Empty()) return;
    if (record.Region.empty()) {
        parts.push_back(seen);
        return;
    }
    for (const TSmlRect& r : RegionBlockRects(record.Region))
        if (const TSmlRect inside = Intersect(seen, r); !inside.Empty()) parts.push_back(inside);
}

}  // namespace

TMsgSml::TMsgSml(IChannelHost& host, TSmlPorts ports)
    : TMsgBase(host, "CSML", kSmlSignature), WindowList(ports.taskbar), ports_(ports) {
    if (ports_.surface) {
        const TRect screen = ports_.surface->PrimaryScreen();
        if (screen.width > 0 && screen.height > 0) {
            ScreenWidth = screen.width;
            ScreenHeight = screen.height;
        }
    }
    if (ports_.taskbar) ports_.taskbar->SetEventSink(this);
}

TMsgSml::~TMsgSml() {
    WindowList.Clear();
    if (ports_.taskbar) ports_.taskbar->SetEventSink(nullptr);
}

void TMsgSml::OnRecvbuffer(const uint8_t* buffer, int32_t len) {
    if (DebugSwitches[dmMain]) WriteLog("[TMsgSml.OnRecvbuffer] begin, BufferSize = " + std::to_string(len));
    try {
        const std::optional<TSmlParts> parts = SplitSmlWindowMsg(buffer, len);
        if (!parts) return;
        const TSmlWindowMsg& header = parts->header;
        const std::u16string title = ReadSmlTitle(parts->title);
        std::optional<TIconImage> icon;
        if (header.IconSize != 0) icon = LoadIconFile(parts->icon, ports_.iconDecoder);
        std::optional<std::vector<uint8_t>> region;
        if (header.RegionSize != 0) region = MakeScreenRegionBlock(parts->region, header.Left, header.Top);
        // The last clip still holds when nothing but this message's own handling
        // changed the list since: then only what its window covered and covers
        // needs clipping again.
        const bool known = clipKnown_ && WindowList.Changes() == clipChanges_;
        clipKnown_ = false;  // until this message's clip is made
        TChange change;
        change.before = AreaOf(header.ServerHandle);
        change.beforeParts = PartsOf(header.ServerHandle);
        const uint64_t changesBefore = WindowList.Changes();
        ownChanges_ = 0;
        const bool reshaped = Act(header, title, icon, region);
        const bool onlyThisWindow = known && WindowList.Changes() == changesBefore + ownChanges_;
        if (DebugSwitches[dmMain]) WriteLog("[TMsgSml.OnRecvbuffer] doclip");
        if (!onlyThisWindow) {
            DoClip(header, nullptr);
        } else if (header.Flags == SML_TITLE) {
            clipKnown_ = !reshaped;  // no clip now: the last one holds unless the window moved
        } else {
            change.after = AreaOf(header.ServerHandle);
            change.afterParts = PartsOf(header.ServerHandle);
            DoClip(header, &change);
        }
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[截屏接收消息]Exception:") + error.what());
    } catch (...) {
        if (DebugSwitches[dmMain]) WriteLog("[截屏接收消息]Exception:");
    }
}

TSmlRect TMsgSml::AreaOf(int64_t serverHandle) const {
    const TSmlWindowRec* record = WindowList.GetItem(WindowList.IndexOfServer(serverHandle));
    if (record == nullptr || Parked(*record)) return TSmlRect{};
    return WindowRect(*record);
}

std::vector<TSmlRect> TMsgSml::PartsOf(int64_t serverHandle) const {
    std::vector<TSmlRect> parts;
    if (const TSmlWindowRec* record = WindowList.GetItem(WindowList.IndexOfServer(serverHandle)))
        AddParts(*record, kWholePlane, parts);
    return parts;
}

TSmlWindowRec* TMsgSml::Find(int64_t serverHandle) {
    return WindowList.GetItem(WindowList.IndexOfServer(serverHandle));
}

bool TMsgSml::HasLiveWindow(const TSmlWindowRec& record) const {
    return record.ClientHandle != 0 && ports_.taskbar != nullptr && ports_.taskbar->WindowExists(record.ClientHandle);
}

bool TMsgSml::Act(const TSmlWindowMsg& header, const std::u16string& title, const std::optional<TIconImage>& icon,
                  const std::optional<std::vector<uint8_t>>& region) {
    const std::string titleText = SmlOn() ? Utf16ToUtf8(title) : std::string();  // for log lines only

    // 1. A title change of a window with a taskbar button, and nothing else.
    if (header.Flags == SML_TITLE && header.InTaskbar != 0) {
        if (TSmlWindowRec* record = Find(header.ServerHandle); record && HasLiveWindow(*record)) {
            if (SmlOn()) LogAct("改变窗口标题：" + titleText);
            ports_.taskbar->SetTitle(record->ClientHandle, Label(title));
        }
        return false;
    }
    // 2. Create or update.
    if (header.Flags & kSmlCreateOrUpdateBits) CreateOrUpdate(header, title, icon, region);
    // 3. Destroy.
    if (header.Flags & SML_DESTROY) {
        LogAct("销毁窗口");
        LogSmlWith([&] { return Printf("Handle:0x%.4llx", static_cast<unsigned long long>(header.ServerHandle)); });
        if (WindowList.Delete(WindowList.IndexOfServer(header.ServerHandle))) ++ownChanges_;
        if (header.ServerHandle == activeServer_) activeServer_ = 0;
        if (header.ServerHandle == ownerMenu_) EndWindowMenu();
    }
    // 4. Show.
    if (header.Flags & SML_SHOW) {
        LogAct("显示窗口");
        if (TSmlWindowRec* record = Find(header.ServerHandle)) {
            if (SmlOn()) LogSml("w:" + titleText + ",show");
            if (HasLiveWindow(*record)) {
                ports_.taskbar->ShowTaskbarWindow(record->ClientHandle);
                StoreRectAndRegion(*record, header, region);
                PlaceTaskbarWindow(*record);
            }
        }
    }
    // 5. Hide.
    if (header.Flags & SML_HIDE) {
        LogAct("隐藏窗口");
        if (TSmlWindowRec* record = Find(header.ServerHandle)) {
            if (SmlOn()) LogSml("w:" + titleText + ",hide");
            if (HasLiveWindow(*record)) {
                ports_.taskbar->HideTaskbarWindow(record->ClientHandle);
                StoreRectAndRegion(*record, header, region);
            }
        }
    }
    // 6. Icon: taken only when a record is created.
    if (header.Flags & SML_ICON) LogAct("窗口ICON改变了");
    // 7. Activate: an already active taskbar window is not minimized by the same message.
    if (header.Flags & SML_ACTIVATE) {
        LogAct("窗口激活");
        if (Find(header.ServerHandle)) activeServer_ = header.ServerHandle;
        if (TSmlWindowRec* record = Find(header.ServerHandle); record && HasLiveWindow(*record)) {
            StoreRectAndRegion(*record, header, region);
            PlaceTaskbarWindow(*record);
            if (ports_.taskbar->IsActiveWindow(record->ClientHandle)) return true;
            LogSmlWith([&] {
                return Printf("-Client Recv MSG ClientHandle=%llx", static_cast<unsigned long long>(record->ClientHandle));
            });
        }
    }
    // 8. Minimize.
    if (header.Flags & SML_MINIMIZE) {
        LogAct("窗口最小化");
        LogSmlWith([&] { return HandleAndRect("", header.ServerHandle, header.Left, header.Top, header.Right, header.Bottom); });
        if (TSmlWindowRec* record = Find(header.ServerHandle)) {
            StoreRectAndRegion(*record, header, region);
            if (header.ServerHandle == activeServer_) activeServer_ = 0;
            if (ports_.taskbar) ports_.taskbar->MinimizeTaskbarWindow(record->ClientHandle);
        }
    }
    return true;
}

void TMsgSml::CreateOrUpdate(const TSmlWindowMsg& header, const std::u16string& title,
                             const std::optional<TIconImage>& icon,
                             const std::optional<std::vector<uint8_t>>& region) {
    LogAct("创建窗口,改变窗口位置");
    LogSmlWith([&] { return HandleAndRect("", header.ServerHandle, header.Left, header.Top, header.Right, header.Bottom); });
    if (TSmlWindowRec* record = Find(header.ServerHandle)) {
        StoreRectAndRegion(*record, header, region);
        // Whether a window has a taskbar button was decided when its record was made.
        if (record->InTaskbar != 0 && HasLiveWindow(*record)) {
            LogAct("窗口位置大小改变时，设置任务栏标题");
            ports_.taskbar->SetTitle(record->ClientHandle, Label(title));
            PlaceTaskbarWindow(*record);
        }
        return;
    }
    // The first menu after a window menu was asked for is that window menu.
    if (static_cast<uint32_t>(header.Style) == MenuWindowStyle && menuOwner_ != 0 && ownerMenu_ == 0)
        ownerMenu_ = header.ServerHandle;
    TSmlWindowRec record;
    record.ServerHandle = header.ServerHandle;
    record.InTaskbar = header.InTaskbar;
    if (icon) {
        LogAct("开始图标制作");
        record.Icon = MakeTaskbarIcon(*icon);
    }
    StoreRectAndRegion(record, header, region);
    LogAct("根据需要创建任务栏按钮");
    processBarWindow(record, header, Label(title), record.Icon ? &*record.Icon : nullptr);
    WindowList.Add(record);
    ++ownChanges_;
    if (HasLiveWindow(record)) PlaceTaskbarWindow(record);
    LogAct("新窗口处理完成");
}

void TMsgSml::processBarWindow(TSmlWindowRec& record, const TSmlWindowMsg& header, const std::u16string& title,
                               const TIconImage* icon) {
    if (record.ServerHandle == 0 || record.InTaskbar == 0 || static_cast<uint32_t>(header.Style) == MenuWindowStyle)
        return;
    record.ClientHandle = CreateTaskbarWindow("TKiv" + std::to_string(record.ServerHandle), icon, title);
    if (SmlOn()) {
        WriteLog("[processBarWindow]Title=" + Utf16ToUtf8(title));
        WriteLog(Printf("[processBarWindow]Before Create Window: ServerHandle=0x%.4llx,ClientHanlde=0x%.4llx",
                        static_cast<unsigned long long>(record.ServerHandle),
                        static_cast<unsigned long long>(record.ClientHandle)));
    }
}

TTaskbarHandle TMsgSml::CreateTaskbarWindow(const std::string& className, const TIconImage* icon,
                                            const std::u16string& title) {
    if (ports_.taskbar == nullptr) return 0;
    const TTaskbarHandle window = ports_.taskbar->CreateTaskbarWindow(className, icon, title);
    if (window == 0) return 0;
    const bool active = ForceForegroundWindow(window);
    LogSml(active ? "[Active TaskBar Windows Ok]" : "[Active TaskBar Windows Failer]");
    return window;
}

bool TMsgSml::ForceForegroundWindow(TTaskbarHandle window) {
    return ports_.taskbar != nullptr && ports_.taskbar->ForceForegroundWindow(window);
}

TIconImage TMsgSml::MakeTaskbarIcon(const TIconImage& serverIcon) const {
    return ComposeTaskbarIcon(serverIcon, OverlayIcon);
}

void TMsgSml::SetApplicationName(const std::string& name) { appName_ = Utf8ToUtf16(name); }

void TMsgSml::PlaceTaskbarWindow(const TSmlWindowRec& record) {
    if (Parked(record) || ports_.taskbar == nullptr) return;
    const TSmlRect r = WindowRect(record);
    ports_.taskbar->SetWindowRect(record.ClientHandle, TRect{r.left, r.top, r.right - r.left, r.bottom - r.top});
}

int64_t TMsgSml::ActiveServerWindow() const {
    const TSmlWindowRec* record = WindowList.GetItem(WindowList.IndexOfServer(activeServer_));
    return record && !Parked(*record) ? activeServer_ : 0;
}

bool TMsgSml::CloseActiveWindow() {
    const int64_t active = ActiveServerWindow();
    if (active == 0) return false;
    LogSmlWith([&] { return Printf("[CloseActiveWindow]Handle:0x%.4llx", static_cast<unsigned long long>(active)); });
    TSmlClientMsg out = NewClientMsg();
    WriteI64(out.data() + kSmlServerHandleOffset, active);
    WriteU16(out.data() + kSmlCommandOffset, SML_CMD_CLOSE);
    SendBufferToSvr(out);
    return true;
}

bool TMsgSml::OpenWindowMenu() {
    const TSmlWindowRec* record = WindowList.GetItem(WindowList.IndexOfServer(ActiveServerWindow()));
    if (record == nullptr || record->ClientHandle == 0) return false;
    DummyWindowCallbackProc(record->ClientHandle, kTaskbarAfterMenuShow, 0, 0);
    return true;
}

void TMsgSml::EndWindowMenu() {
    const TTaskbarHandle owner = menuOwner_;
    menuOwner_ = 0;
    ownerMenu_ = 0;
    if (owner != 0) DummyWindowCallbackProc(owner, kTaskbarExitMenuLoop, 0, 0);
}

void TMsgSml::DoClip(const TSmlWindowMsg& header) { DoClip(header, nullptr); }

void TMsgSml::DoClip(const TSmlWindowMsg& header, const TChange* change) {
    if (header.Flags == SML_TITLE) return;
    ClipNow(change);
}

void TMsgSml::ReClip() { ClipNow(nullptr); }

std::vector<TSmlRect> TMsgSml::ClipParts(std::span<const TSmlRect> areas) const {
    std::vector<TSmlRect> parts;
    if (areas.empty()) return parts;
    TSmlRect around = areas.front();
    for (const TSmlRect& area : areas)
        around = TSmlRect{std::min(around.left, area.left), std::min(around.top, area.top),
                          std::max(around.right, area.right), std::max(around.bottom, area.bottom)};
    // The records that meet the areas at all, looked at once.
    std::vector<const TSmlWindowRec*> near;
    for (int i = 0; i < WindowList.Count(); ++i) {
        const TSmlWindowRec& record = *WindowList.GetItem(i);
        LogSmlWith([&] {
            return HandleAndRect("Clip...", record.ServerHandle, record.Left, record.Top, record.Right, record.Bottom);
        });
        if (!Parked(record) && !Intersect(WindowRect(record), around).Empty()) near.push_back(&record);
    }
    const TSmlRect corner{0, 0, 1, 1};  // the session window always keeps its corner pixel
    for (const TSmlRect& area : areas) {
        const std::size_t first = parts.size();
        if (const TSmlRect inside = Intersect(corner, area); !inside.Empty()) parts.push_back(inside);
        for (const TSmlWindowRec* record : near) {
            const std::size_t added = parts.size();
            AddParts(*record, area, parts);
            // A part that fills the area leaves nothing for the others to add.
            if (std::find(parts.begin() + static_cast<std::ptrdiff_t>(added), parts.end(), area) != parts.end()) {
                parts.resize(first);
                parts.push_back(area);
                break;
            }
        }
    }
    return parts;
}

TSmlRegion TMsgSml::FullClip() const { return TSmlRegion::Union(ClipParts(std::span(&kWholePlane, 1))); }

namespace {

int64_t AreaSize(const TSmlRect& r) { return r.Empty() ? 0 : (int64_t{r.right} - r.left) * (int64_t{r.bottom} - r.top); }

// The areas to clip again after one window changed: what it covered and what
// it covers, as one rectangle around both when that is no larger than the two.
std::array<TSmlRect, 2> ChangedAreas(const TSmlRect& before, const TSmlRect& after) {
    if (before.Empty() || after.Empty()) return {before, after};
    const TSmlRect around{std::min(before.left, after.left), std::min(before.top, after.top),
                          std::max(before.right, after.right), std::max(before.bottom, after.bottom)};
    if (AreaSize(around) <= AreaSize(before) + AreaSize(after)) return {around, TSmlRect{}};
    return {before, after};
}

}  // namespace

void TMsgSml::ClipChange(const TChange& change) {
    // What the window shows now, and what it showed and no longer does: only
    // there can the other windows (or nothing) show through.
    const TSmlRegion shown = TSmlRegion::Union(change.afterParts);
    TSmlRegion gone = TSmlRegion::Union(change.beforeParts);
    gone.Replace(shown, {});
    // The windows are asked for each rectangle of what went; a shape of very
    // many is clipped again in the rectangle around it instead.
    constexpr std::size_t kFewRects = 32;
    if (gone.Rects().size() <= kFewRects) {
        lastClip_.Replace(gone, ClipParts(gone.Rects()));
        lastClip_.Add(shown);
        return;
    }
    for (const TSmlRect& area : ChangedAreas(change.before, change.after))
        if (!area.Empty()) lastClip_.ReplaceArea(area, ClipParts(std::span(&area, 1)));
}

void TMsgSml::ClipNow(const TChange* change) {
    LogSml("[DoClip]...");
    try {
        if (change != nullptr) {
            ClipChange(*change);
        } else {
            lastClip_ = FullClip();
        }
    } catch (const std::bad_alloc&) {
        lastClip_ = TSmlRegion();
    }
    // Never empty while the corner pixel is in: empty means the union could not be made.
    clipKnown_ = !lastClip_.Empty();
    if (lastClip_.Empty()) lastClip_ = TSmlRegion::Union({{0, 0, ScreenWidth, ScreenHeight}});
    clipChanges_ = WindowList.Changes();
    if (ports_.surface) {
        const std::vector<TRect> rects = lastClip_.ToRects();
        ports_.surface->SetSessionRegion(rects);
        ports_.surface->SetImeRegion(rects);
    }
    if (FirstClip) {
        LogSml("[InitMainWindow]...");
        FirstClip = false;
    }
}

bool TMsgSml::SetClientToServerBuf(uint16_t command, TTaskbarHandle window, TSmlClientMsg& message) {
    const TSmlWindowRec* record = WindowList.GetItem(WindowList.IndexOfClient(window));
    if (record == nullptr) return false;
    WriteI64(message.data() + kSmlServerHandleOffset, record->ServerHandle);
    WriteU16(message.data() + kSmlCommandOffset, command);
    return true;
}

int TMsgSml::SendBufferToSvr(const TSmlClientMsg& message) {
    LogSml("[SendBufferToSvr]...");
    try {
        SendData(WrapForSending(message));
    } catch (...) {
        WindowList.Delete(WindowList.IndexOfServer(ReadI64(message.data() + kSmlServerHandleOffset)));
        return -2;
    }
    return -1;
}

void TMsgSml::OnTaskbarMessage(TTaskbarHandle window, uint32_t message, uint64_t wParam, int64_t lParam) {
    // A window procedure lets nothing escape into the event loop.
    try {
        DummyWindowCallbackProc(window, message, wParam, lParam);
    } catch (const std::exception& error) {
        LogProc(std::string("Exception:") + error.what());
    } catch (...) {
        LogProc("Exception:");
    }
}

void TMsgSml::DummyWindowCallbackProc(TTaskbarHandle window, uint32_t message, uint64_t wParam, int64_t lParam) {
    TSmlClientMsg out = NewClientMsg();
    uint8_t* data = out.data() + kSmlDataOffset;
    uint16_t command = 0;
    int32_t x = 0, y = 0;
    switch (message) {
        case kTaskbarKeyDown:
            if (SmlOn()) LogProc(std::to_string(message));
            break;
        case kTaskbarDestroy:
            LogProc("WM_DESTROY出发了");
            break;
        case kTaskbarSize:
            if (wParam == kSizeRestored || wParam == kSizeMaximized) {
                WriteU32(data, kSmlDataRestored);
                command = SML_CMD_ACTIVATE;
            } else if (wParam == kSizeMinimized) {
                WriteU32(data, kSmlDataMinimized);
                command = SML_CMD_ACTIVATE;
            }
            break;
        case kTaskbarActivate:
            command = OnActivate(window, wParam, out);
            break;
        case kTaskbarClose:
            LogProc("WM_CLOSE出发了");
            command = SML_CMD_CLOSE;
            break;
        case kTaskbarEndSession:
            LogProc("WM_ENDSESSION出发了");
            WindowList.Clear();
            break;
        case kTaskbarSettingChange:
            LogProc("WM_SETTINGCHANGE出发了");
            if (wParam == kSettingWorkArea) {
                const TRect work = ports_.desktop ? ports_.desktop->PrimaryWorkArea() : TRect{0, 0, ScreenWidth, ScreenHeight};
                WorkArea = TSmlRect{work.x, work.y, work.x + work.width, work.y + work.height};
                WriteI16(data, static_cast<int16_t>(WorkArea.left));
                WriteI16(data + 2, static_cast<int16_t>(WorkArea.top));
                WriteI16(data + 4, static_cast<int16_t>(WorkArea.right));
                WriteI16(data + 6, static_cast<int16_t>(WorkArea.bottom));
                command = SML_CMD_WORKAREA;
            }
            break;
        case kTaskbarSysCommand:
            LogProc("WM_SYSCOMMAND出发了");
            if ((wParam & kSysCommandMask) == kSysCommandClose) LogSml("SC_CLOSE");
            break;
        case kTaskbarInitMenuPopup:
            // This desktop shows no local window menu to wait for: the request for
            // the server's menu comes as kTaskbarAfterMenuShow directly.
            LogProc("WM_INITMENUPOPUP出发了");
            break;
        case kTaskbarExitMenuLoop:
            if (window == menuOwner_) menuOwner_ = ownerMenu_ = 0;
            if (ports_.taskbar) ports_.taskbar->CursorPos(x, y);
            WriteU32(data, PackCursor(x, y));
            LogProc("WM_EXITMENULOOP出发了");
            command = SML_CMD_MENU_DONE;
            break;
        case kTaskbarMenuRequest:
            menuPoint_ = lParam;
            LogProc("313出发了");
            break;
        case kTaskbarAfterMenuShow:
            LogProc("WM_AFTERMENUSHOW出发了");
            if (ports_.taskbar) ports_.taskbar->CursorPos(x, y);
            WriteU32(data, PackCursor(x, y));
            command = SML_CMD_SYSMENU;
            menuOwner_ = window;  // its menu's end is reported when the server's menu goes
            ownerMenu_ = 0;
            break;
        default:
            break;
    }
    if (command != 0 && SetClientToServerBuf(command, window, out)) SendBufferToSvr(out);
}

uint16_t TMsgSml::OnActivate(TTaskbarHandle window, uint64_t wParam, TSmlClientMsg& message) {
    const uint64_t state = wParam & 0xFFFF;
    const uint64_t high = (wParam >> 16) & 0xFFFF;
    LogSmlWith([&] {
        return Printf("WM_ACTIVATE:Lower:%llx,High:%llx", static_cast<unsigned long long>(state),
                      static_cast<unsigned long long>(high));
    });
    if (state == kActivateInactive && ime_ != nullptr && ime_->AltTab) {
        // Alt+Tab landed on this window, which hands the activation straight back to
        // the session window: the switch goes on to the next task instead.
        LogSmlWith([&] {
            return Printf("WA_INACTIVE and frmImeWindow.AltTab,Handle:%llx", static_cast<unsigned long long>(window));
        });
        ime_->AltTab = false;
        if (ports_.taskbar) ports_.taskbar->SwitchToNextTaskWindow(window);
        return 0;
    }
    if (state != kActivateActive && state != kActivateClickActive) return 0;
    LogSmlWith([&] { return Printf("WA_ACTIVE or  WA_CLICKACTIVE,Handle:%llx", static_cast<unsigned long long>(window)); });
    if (ports_.surface) ports_.surface->ActivateSessionWindow();
    // The activation a new taskbar window gets when it is made is the client's
    // own: the server hears only of the user's.
    if (wParam & kActivateRequested) return 0;
    WriteU32(message.data() + kSmlDataOffset, static_cast<uint32_t>(wParam));
    if (const TSmlWindowRec* record = WindowList.GetItem(WindowList.IndexOfClient(window)))
        activeServer_ = record->ServerHandle;
    return SML_CMD_ACTIVATE;
}

}  // namespace kiv
