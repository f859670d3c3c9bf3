#include "tools/demo-server/ShellWindows.h"

#include <algorithm>
#include <utility>
#include <array>
#include <cstdio>
#include <string_view>

#include "channels/SmlMessages.h"
#include "tools/demo-server/DemoIcon.h"

namespace kiv::demo {

namespace {

// The body line that shows what the client typed.
constexpr std::size_t kTypedLine = 3;
constexpr std::string_view kTypedPrefix = "TYPED ";

constexpr std::array<std::uint32_t, 4> kAppColours{0x2F6FB0, 0x2E8B57, 0xB5533C, 0x7A4FA3};
constexpr int kCornerRadius = 8;

std::string HexHandle(std::int64_t handle) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(handle));
    return text;
}

// Screen coordinates travel as 16-bit halves of one 32-bit value.
int LowHalf(std::uint32_t v) { return static_cast<std::int16_t>(v & 0xFFFF); }
int HighHalf(std::uint32_t v) { return static_cast<std::int16_t>(v >> 16); }

TWindowRect Union(const TWindowRect& a, const TWindowRect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace

std::vector<TWindowRect> RoundedCornerRegion(int width, int height) {
    std::vector<TWindowRect> rows;
    const int radius = std::min({kCornerRadius, width / 2, height / 2});
    // How far row y (0 = the outermost) is cut in at each end.
    auto inset = [&](int y) {
        int x = 0;
        while (x < radius) {
            const int dx = radius - x;
            const int dy = radius - y;
            if (dx * dx + dy * dy <= radius * radius) break;
            ++x;
        }
        return x;
    };
    for (int y = 0; y < radius; ++y) {
        const int cut = inset(y);
        rows.push_back({cut, y, width - cut, y + 1});
    }
    rows.push_back({0, radius, width, height - radius});
    for (int y = radius - 1; y >= 0; --y) {
        const int cut = inset(y);
        rows.push_back({cut, height - 1 - y, width - cut, height - y});
    }
    return rows;
}

void TShellWindows::SetDesktopSize(int width, int height) {
    width_ = std::max(width, 200);
    height_ = std::max(height, 200);
}

TServerWindow* TShellWindows::Window(std::int64_t handle) { return desktop_.Find(handle); }

TWindowRect TShellWindows::PlaceFor(int index) const {
    const int width = std::min(kAppWindowWidth, width_ - 20);
    const int height = std::min(kAppWindowHeight, height_ - 20);
    const int spanX = std::max(1, width_ - width - 40);
    const int spanY = std::max(1, height_ - height - 80);
    const int left = 40 + (index * 300) % spanX;
    const int top = 40 + (index * 170) % spanY;
    return {left, top, left + width, top + height};
}

void TShellWindows::RecordWindow(const char* action, const TServerWindow& window) {
    TJson line;
    line["event"] = "window";
    line["action"] = action;
    line["handle"] = window.handle;
    line["title"] = window.title;
    line["left"] = window.rect.left;
    line["top"] = window.rect.top;
    line["right"] = window.rect.right;
    line["bottom"] = window.rect.bottom;
    output_.Record(std::move(line));
}

void TShellWindows::Publish(const TServerWindow& window, std::uint16_t flags) {
    TWindowUpdate update;
    update.handle = window.handle;
    update.flags = flags;
    update.inTaskbar = window.inTaskbar;
    update.style = window.style;
    update.rect = window.rect;
    update.title = Utf8ToUtf16(window.title);
    // The client takes an icon only with the message that creates its record.
    if (flags & SML_ICON) update.icon = window.icon;
    if (!(flags & SML_DESTROY)) update.region = window.region;
    output_.Send("CSML", BuildWindowUpdate(update));
}

std::vector<std::int64_t> TShellWindows::StartApplication(const std::string& appId, const std::string& parameter,
                                                         int count) {
    std::vector<std::int64_t> handles;
    const bool rounded = appsStarted_ == 0;
    const std::uint32_t colour = kAppColours[static_cast<std::size_t>(appsStarted_) % kAppColours.size()];
    ++appsStarted_;
    for (int i = 0; i < count; ++i) {
        TServerWindow window;
        window.handle = (lastHandle_ += 0x10);
        window.kind = TWindowKind::Application;
        window.appId = appId;
        window.title = appId + " - demo" + (i > 0 ? " " + std::to_string(i + 1) : std::string());
        window.style = kAppWindowStyle;
        window.inTaskbar = true;
        window.colour = colour;
        window.rect = PlaceFor(windowsMade_++);
        if (rounded) window.region = RoundedCornerRegion(window.rect.Width(), window.rect.Height());
        window.lines = {"APPLICATION " + appId, "WINDOW " + HexHandle(window.handle)};
        if (!parameter.empty()) window.lines.push_back("PARAMETER " + parameter);
        window.icon = MakeDemoIcon(colour);
        desktop_.Add(window);
        desktop_.Raise(window.handle);
        const TServerWindow& added = *Window(window.handle);
        output_.Repaint(added.rect);
        Publish(added, SML_ICON | SML_CREATE_MOVE);
        RecordWindow("create", added);
        handles.push_back(added.handle);
    }
    return handles;
}

void TShellWindows::Activate(TServerWindow& window, std::uint32_t data) {
    const int state = static_cast<int>(data & 0xFFFF);
    const bool minimizedNow = (data >> 16) != 0;
    if (minimizedNow) {
        Minimize(window);
        return;
    }
    if (state != 1 && state != 2) return;  // not an activation
    const bool restoring = window.minimized;
    const auto& stack = desktop_.Windows();
    const auto topmost = std::find_if(stack.rbegin(), stack.rend(), [](const auto& w) { return w.kind != TWindowKind::Menu; });
    const bool onTop = topmost != stack.rend() && topmost->handle == window.handle;
    if (!restoring && onTop && window.active) return;  // already where it belongs
    if (restoring) {
        window.minimized = false;
        window.rect = window.restoreRect;
    }
    const std::int64_t handle = window.handle;
    desktop_.Raise(handle);
    // The other windows' title bars turn grey, this one's comes to the front.
    for (const TServerWindow& w : desktop_.Windows())
        if (w.kind == TWindowKind::Application && !w.minimized) output_.Repaint(w.rect);
    const TServerWindow& raised = *Window(handle);
    Publish(raised, restoring ? (SML_ACTIVATE | SML_CREATE_MOVE) : SML_ACTIVATE);
    RecordWindow(restoring ? "restore" : "activate", raised);
}

void TShellWindows::Minimize(TServerWindow& window) {
    if (window.minimized || window.kind != TWindowKind::Application) return;
    const TWindowRect was = window.rect;
    window.restoreRect = was;
    window.rect = kParkedRect;
    window.minimized = true;
    window.active = false;
    output_.Repaint(was);
    Publish(window, SML_MINIMIZE);
    RecordWindow("minimize", window);
}

void TShellWindows::Destroy(std::int64_t handle, const char* why) {
    TServerWindow* window = Window(handle);
    if (!window) return;
    const TServerWindow gone = *window;
    desktop_.Remove(handle);
    if (!gone.minimized) output_.Repaint(gone.rect);
    Publish(gone, SML_DESTROY);
    RecordWindow(why, gone);
    stressHandles_.erase(std::remove(stressHandles_.begin(), stressHandles_.end(), handle), stressHandles_.end());
}

void TShellWindows::CloseMenu() {
    if (menuHandle_ == 0) return;
    const std::int64_t handle = menuHandle_;
    menuHandle_ = 0;
    Destroy(handle, "menu-close");
}

void TShellWindows::ShowMenu(int x, int y, std::int64_t owner, std::int64_t nowMs) {
    CloseMenu();
    // At the cursor, kept on the desktop; above the cursor when there is no room below.
    int left = std::clamp(x, 0, std::max(0, width_ - kMenuWidth));
    int top = y + kMenuHeight <= height_ ? y : y - kMenuHeight;
    top = std::clamp(top, 0, std::max(0, height_ - kMenuHeight));
    TServerWindow menu;
    menu.handle = (lastHandle_ += 0x10);
    menu.kind = TWindowKind::Menu;
    menu.title = "";
    if (const TServerWindow* of = Window(owner)) menu.appId = of->appId;
    menu.style = MenuWindowStyle;
    menu.inTaskbar = false;
    menu.rect = {left, top, left + kMenuWidth, top + kMenuHeight};
    menu.lines = {"RESTORE", "MINIMIZE", "CLOSE"};
    desktop_.Add(menu);
    menuHandle_ = menu.handle;
    menuOwner_ = owner;
    menuDueMs_ = nowMs + kMenuLifetimeMs;
    output_.Repaint(menu.rect);
    Publish(menu, SML_CREATE_MOVE);
    RecordWindow("menu", menu);
}

void TShellWindows::ShowMenuOnNewestWindow(std::int64_t nowMs) {
    const auto& windows = desktop_.Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (it->kind != TWindowKind::Application || it->minimized) continue;
        // Reaching out over the window's right edge, as a context menu near it would.
        ShowMenu(it->rect.right - kMenuWidth / 2, it->rect.top + kTitleBarHeight + 12, it->handle, nowMs);
        return;
    }
}

void TShellWindows::OnCommand(const TWindowCommand& command, std::int64_t nowMs) {
    switch (command.command) {
        case SML_CMD_ACTIVATE:
            if (TServerWindow* window = Window(command.handle); window && window->kind == TWindowKind::Application) {
                // Another window taking the activation closes the menu; its own
                // window's activation (the client reports every one) does not.
                if (menuHandle_ != 0 && menuOwner_ != command.handle && (command.data & 0xFFFF) != 0) CloseMenu();
                // The menu may have been the window before it in the list: look again.
                if (TServerWindow* again = Window(command.handle)) Activate(*again, command.data);
            }
            break;
        case SML_CMD_CLOSE:
            if (command.handle == menuHandle_) {
                CloseMenu();
            } else {
                if (menuHandle_ != 0) CloseMenu();
                Destroy(command.handle, "destroy");
            }
            break;
        case SML_CMD_SYSMENU:
            ShowMenu(LowHalf(command.data), HighHalf(command.data), command.handle, nowMs);
            break;
        default:
            // The end of the local menu loop and work-area changes need no answer.
            break;
    }
}

void TShellWindows::TypedText(const std::string& text) {
    auto& windows = desktop_.Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (it->kind != TWindowKind::Application || it->minimized) continue;
        while (it->lines.size() <= kTypedLine) it->lines.emplace_back();
        it->lines[kTypedLine] = std::string(kTypedPrefix) + text.substr(0, 24);
        output_.Repaint(it->rect);
        return;
    }
}

std::optional<TWindowRect> TShellWindows::CaretRect() const {
    const auto& windows = desktop_.Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (it->kind != TWindowKind::Application || it->minimized) continue;
        const std::size_t column = it->lines.size() > kTypedLine ? it->lines[kTypedLine].size() : kTypedPrefix.size();
        return BodyTextCaret(*it, kTypedLine, column);
    }
    return std::nullopt;
}

void TShellWindows::MoveTo(TServerWindow& window, TWindowRect rect, bool record) {
    const TWindowRect was = window.rect;
    window.rect = rect;
    if (window.kind != TWindowKind::ShapeOnly) output_.Repaint(Union(was, rect));
    Publish(window, SML_CREATE_MOVE);
    if (record) RecordWindow("move", window);
}

void TShellWindows::StartMoving(int everyMs, std::int64_t nowMs, int updateAfterMs) {
    moveEveryMs_ = std::max(everyMs, 1);
    moveDueMs_ = nowMs + moveEveryMs_;
    moveUpdateAfterMs_ = std::max(updateAfterMs, 0);
}

void TShellWindows::MoveStep(std::int64_t nowMs) {
    PublishMove();  // a late update goes before the next move
    for (TServerWindow& window : desktop_.Windows()) {
        if (window.kind != TWindowKind::Application || window.minimized) continue;
        TWindowRect rect = window.rect;
        if (rect.right + moveDx_ > width_ || rect.left + moveDx_ < 0) moveDx_ = -moveDx_;
        rect.left += moveDx_;
        rect.right += moveDx_;
        if (moveUpdateAfterMs_ == 0) {
            MoveTo(window, rect, true);
            return;  // the oldest visible application window moves
        }
        const TWindowRect was = window.rect;
        window.rect = rect;
        output_.Repaint(Union(was, rect));
        movedHandle_ = window.handle;
        moveUpdateDueMs_ = nowMs + moveUpdateAfterMs_;
        return;
    }
}

void TShellWindows::PublishMove() {
    const std::int64_t handle = std::exchange(movedHandle_, 0);
    if (const TServerWindow* window = handle != 0 ? Window(handle) : nullptr) {
        Publish(*window, SML_CREATE_MOVE);
        RecordWindow("move", *window);
    }
}

void TShellWindows::StartStress(int windows, int rateHz, std::int64_t nowMs, int steps) {
    stressSteps_ = steps;
    for (int i = 0; i < windows; ++i) {
        TServerWindow window;
        window.handle = (lastHandle_ += 0x10);
        window.kind = TWindowKind::ShapeOnly;
        window.title = "stress " + std::to_string(i + 1);
        window.style = kAppWindowStyle;
        window.inTaskbar = false;
        const int left = (i * 131) % std::max(1, width_ - kStressWindowWidth);
        const int top = (i * 71) % std::max(1, height_ - kStressWindowHeight);
        window.rect = {left, top, left + kStressWindowWidth, top + kStressWindowHeight};
        desktop_.Add(window);
        stressHandles_.push_back(window.handle);
        Publish(window, SML_CREATE_MOVE);
    }
    TJson line;
    line["event"] = "stress";
    line["windows"] = windows;
    line["rate_hz"] = rateHz;
    output_.Record(std::move(line));
    stressEveryMs_ = std::max(1, 1000 / std::max(rateHz, 1));
    stressDueMs_ = nowMs + stressEveryMs_;
}

void TShellWindows::StressStep() {
    ++stressTick_;
    for (std::size_t i = 0; i < stressHandles_.size(); ++i) {
        TServerWindow* window = Window(stressHandles_[i]);
        if (!window) continue;
        // Each window runs its own diagonal, bouncing off the desktop's edges.
        const int spanX = std::max(1, width_ - kStressWindowWidth);
        const int spanY = std::max(1, height_ - kStressWindowHeight);
        const long long px = (static_cast<long long>(i) * 131 + stressTick_ * (5 + static_cast<long long>(i % 7))) % (2 * spanX);
        const long long py = (static_cast<long long>(i) * 71 + stressTick_ * (3 + static_cast<long long>(i % 5))) % (2 * spanY);
        const int left = static_cast<int>(px < spanX ? px : 2 * spanX - px);
        const int top = static_cast<int>(py < spanY ? py : 2 * spanY - py);
        MoveTo(*window, {left, top, left + kStressWindowWidth, top + kStressWindowHeight}, false);
    }
    if (stressSteps_ > 0 && stressTick_ >= stressSteps_) {
        stressEveryMs_ = 0;
        TJson line;
        line["event"] = "stress-done";
        line["steps"] = stressTick_;
        output_.Record(std::move(line));
    }
}

std::optional<std::int64_t> TShellWindows::NextDueMs() const {
    std::optional<std::int64_t> next;
    auto consider = [&](bool armed, std::int64_t due) {
        if (armed && (!next || due < *next)) next = due;
    };
    consider(menuHandle_ != 0, menuDueMs_);
    consider(moveEveryMs_ > 0, moveDueMs_);
    consider(movedHandle_ != 0, moveUpdateDueMs_);
    consider(stressEveryMs_ > 0, stressDueMs_);
    return next;
}

void TShellWindows::OnTimer(std::int64_t nowMs) {
    if (menuHandle_ != 0 && nowMs >= menuDueMs_) CloseMenu();
    if (movedHandle_ != 0 && nowMs >= moveUpdateDueMs_) PublishMove();
    if (moveEveryMs_ > 0 && nowMs >= moveDueMs_) {
        MoveStep(nowMs);
        // A late tick does not bring a burst of catching-up moves.
        moveDueMs_ = std::max(moveDueMs_ + moveEveryMs_, nowMs + 1);
    }
    if (stressEveryMs_ > 0 && nowMs >= stressDueMs_) {
        StressStep();
        stressDueMs_ = std::max(stressDueMs_ + stressEveryMs_, nowMs + 1);
    }
}

TParkedSession TShellWindows::Park(std::int32_t sessionNumber) const {
    TParkedSession session;
    session.sessionNumber = sessionNumber;
    for (const TServerWindow& window : desktop_.Windows())
        if (window.kind == TWindowKind::Application) session.windows.push_back(window);
    session.lastHandle = lastHandle_;
    session.appsStarted = appsStarted_;
    return session;
}

void TShellWindows::Adopt(const TParkedSession& session) {
    for (const TServerWindow& window : session.windows) desktop_.Add(window);
    lastHandle_ = std::max(lastHandle_, session.lastHandle);
    appsStarted_ = session.appsStarted;
    windowsMade_ = static_cast<int>(session.windows.size());
}

void TShellWindows::Republish() {
    for (const TServerWindow& window : desktop_.Windows()) {
        if (window.kind != TWindowKind::Application) continue;
        Publish(window, window.minimized ? static_cast<std::uint16_t>(SML_ICON | SML_CREATE_MOVE | SML_MINIMIZE)
                                         : static_cast<std::uint16_t>(SML_ICON | SML_CREATE_MOVE));
        RecordWindow("republish", window);
    }
}

}  // namespace kiv::demo
