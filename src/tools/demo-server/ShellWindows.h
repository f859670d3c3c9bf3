#pragma once
// The server shell's windows: each application start gets a framed window
// painted on the server desktop and published to the client as a seamless
// window; the client's window events (activate, minimize, close, window menu)
// change them. Also the moving windows of --move-every-ms and the stress mode.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/demo-server/ServerDesktop.h"
#include "tools/demo-server/ShellOutput.h"
#include "tools/demo-server/ShellSessions.h"
#include "tools/demo-server/SmlWire.h"

namespace kiv::demo {

// Visible, clipping siblings and children, with caption, system menu, sizing
// border, minimize and maximize boxes: an ordinary top-level window.
inline constexpr std::uint32_t kAppWindowStyle = 0x16CF0000;
inline constexpr int kAppWindowWidth = 440;
inline constexpr int kAppWindowHeight = 300;
inline constexpr int kMenuWidth = 150;
inline constexpr int kMenuHeight = 82;
inline constexpr std::int64_t kMenuLifetimeMs = 5000;
inline constexpr int kStressWindowWidth = 96;
inline constexpr int kStressWindowHeight = 64;
inline constexpr TWindowRect kParkedRect{kParkedEdge, kParkedEdge, kParkedEdge + 160, kParkedEdge + 28};

// The rectangles of a window with rounded corners (radius 8), relative to its
// top-left corner: a stack of ever wider rows at the top and the bottom and
// the full width in between.
std::vector<TWindowRect> RoundedCornerRegion(int width, int height);

class TShellWindows {
public:
    TShellWindows(TServerDesktop& desktop, IShellOutput& output) : desktop_(desktop), output_(output) {}

    void SetDesktopSize(int width, int height);

    // An application started: `count` windows, at places of their own, whose
    // handles it answers. The first application's windows have rounded corners.
    std::vector<std::int64_t> StartApplication(const std::string& appId, const std::string& parameter, int count);
    // A window event of the client.
    void OnCommand(const TWindowCommand& command, std::int64_t nowMs);
    // Text typed in the client's input-method window lands in the active window.
    void TypedText(const std::string& text);
    // The caret of the active window: after its typed text. None without a window.
    std::optional<TWindowRect> CaretRect() const;
    // A popup menu at (x, y) for the window `owner` (0: none).
    void ShowMenu(int x, int y, std::int64_t owner, std::int64_t nowMs);
    // The menu inside the body of the newest application window.
    void ShowMenuOnNewestWindow(std::int64_t nowMs);

    // updateAfterMs > 0: each move's window update goes out that long after its repaint.
    void StartMoving(int everyMs, std::int64_t nowMs, int updateAfterMs = 0);
    // `steps` > 0: they stop after that many steps (recorded as "stress-done").
    void StartStress(int windows, int rateHz, std::int64_t nowMs, int steps = 0);
    std::optional<std::int64_t> NextDueMs() const;
    void OnTimer(std::int64_t nowMs);

    // For a session that is dropped and taken up again by the next connection.
    TParkedSession Park(std::int32_t sessionNumber) const;
    void Adopt(const TParkedSession& session);
    // Every window again, as creations: the client's records follow the server's.
    void Republish();

    int ApplicationsStarted() const { return appsStarted_; }

private:
    TServerWindow* Window(std::int64_t handle);
    TWindowRect PlaceFor(int index) const;
    void Publish(const TServerWindow& window, std::uint16_t flags);
    void Activate(TServerWindow& window, std::uint32_t data);
    void Minimize(TServerWindow& window);
    void Destroy(std::int64_t handle, const char* why);
    void CloseMenu();
    void MoveTo(TServerWindow& window, TWindowRect rect, bool record);
    void MoveStep(std::int64_t nowMs);
    void PublishMove();
    void StressStep();
    void RecordWindow(const char* action, const TServerWindow& window);

    TServerDesktop& desktop_;
    IShellOutput& output_;
    int width_ = 1024;
    int height_ = 768;
    std::int64_t lastHandle_ = 0x10000;
    int appsStarted_ = 0;
    int windowsMade_ = 0;
    std::int64_t menuHandle_ = 0;
    std::int64_t menuOwner_ = 0;
    std::int64_t menuDueMs_ = 0;
    int moveEveryMs_ = 0;
    std::int64_t moveDueMs_ = 0;
    int moveDx_ = 16;
    int moveUpdateAfterMs_ = 0;
    std::int64_t movedHandle_ = 0;  // repainted at its new place, its update still to go
    std::int64_t moveUpdateDueMs_ = 0;
    int stressEveryMs_ = 0;
    std::int64_t stressDueMs_ = 0;
    std::int64_t stressTick_ = 0;
    std::int64_t stressSteps_ = 0;
    std::vector<std::int64_t> stressHandles_;
};

}  // namespace kiv::demo
