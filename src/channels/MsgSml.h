#pragma once
// The seamless handler: keeps a record per server window the server shell
// reports, gives each window that belongs on the taskbar a local taskbar window,
// clips the session window (and the input-method window over it) to the union
// of the server windows' areas, and sends what the user does with the taskbar
// buttons back to the server shell.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "channels/ClientSMLManger.h"
#include "channels/ImeWindow.h"
#include "channels/MsgBase.h"
#include "channels/SmlMessages.h"
#include "channels/SmlRegion.h"
#include "ports/DesktopFacts.h"
#include "ports/TaskbarWindows.h"

namespace kiv {

// The local windows the handler drives; any of them may be absent, and then
// that part of the work is skipped (records and messages still are kept).
struct TSmlPorts {
    ITaskbarWindows* taskbar = nullptr;
    ISeamlessSurface* surface = nullptr;
    const IIconImageDecoder* iconDecoder = nullptr;
    const IDesktopFacts* desktop = nullptr;  // the work area for SML_CMD_WORKAREA
};

class TMsgSml final : public TMsgBase, private ITaskbarWindowEvents {
public:
    TMsgSml(IChannelHost& host, TSmlPorts ports);
    ~TMsgSml() override;

    // Every received window update; len follows the payload rule.
    void OnRecvbuffer(const uint8_t* buffer, int32_t len) override;

    // -1 when sent; -2 when sending failed, and then the record of the message's
    // ServerHandle is gone with its taskbar window.
    int SendBufferToSvr(const TSmlClientMsg& message);
    // Writes the ServerHandle of the window's record and the command; false (and
    // nothing is to be sent) when the window has no record.
    bool SetClientToServerBuf(uint16_t command, TTaskbarHandle window, TSmlClientMsg& message);
    // Re-clips after a handled update, except after a title-only one (Flags 0x0001).
    // A received update re-clips only where its window's part of the shape
    // went (from the windows there) and adds where it is now; the rest of the
    // last clip stays. A record changed in place
    // from outside the handler is seen at the next ReClip.
    void DoClip(const TSmlWindowMsg& header);
    // Clips from the records as they are now (the session window was shown again).
    void ReClip();

    void processBarWindow(TSmlWindowRec& record, const TSmlWindowMsg& header, const std::u16string& title,
                          const TIconImage* icon);
    // The icon serves as the window's large and small icon alike.
    TTaskbarHandle CreateTaskbarWindow(const std::string& className, const TIconImage* icon,
                                       const std::u16string& title);
    bool ForceForegroundWindow(TTaskbarHandle window);
    TIconImage MakeTaskbarIcon(const TIconImage& serverIcon) const;
    void SetOverlayIcon(const TIconImage& icon) { OverlayIcon = icon; }
    // The input-method window, whose Alt key turns a deactivation into a task switch.
    void SetImeWindow(TImeWindow* ime) { ime_ = ime; }
    // The published application's name (UTF-8): the label of a taskbar button
    // whose server window has no title.
    void SetApplicationName(const std::string& name);
    // The server window the user or the server activated last, while it is on
    // the screen; 0 when there is none.
    int64_t ActiveServerWindow() const;
    // Closes the active server window as its taskbar button's "close" does (the
    // server decides and destroys it); false when no server window is active.
    bool CloseActiveWindow();
    // Asks the server for the active window's window menu at the cursor; false
    // when no server window with a taskbar button is active.
    bool OpenWindowMenu();
    // The window procedure of every taskbar window.
    void DummyWindowCallbackProc(TTaskbarHandle window, uint32_t message, uint64_t wParam, int64_t lParam);

    TClientSMLWindowList WindowList;
    bool FirstClip = true;
    int32_t ScreenWidth = 1024;
    int32_t ScreenHeight = 768;
    TSmlRect WorkArea;  // the work area last sent with SML_CMD_WORKAREA
    TIconImage OverlayIcon;

    // The region last set on the session window.
    const TSmlRegion& LastClip() const { return lastClip_; }
    // The union of the records as they are now, made from scratch; the session
    // window is not touched.
    TSmlRegion FullClip() const;

private:
    void OnTaskbarMessage(TTaskbarHandle window, uint32_t message, uint64_t wParam, int64_t lParam) override;
    // What a record covers on the screen; empty when it covers nothing.
    TSmlRect AreaOf(int64_t serverHandle) const;
    // The rectangles a record adds to the shape; none when it has no record.
    std::vector<TSmlRect> PartsOf(int64_t serverHandle) const;
    // One window's part of the shape before a message and after it.
    struct TChange {
        TSmlRect before;  // what the window covered
        TSmlRect after;   // what it covers
        std::vector<TSmlRect> beforeParts;
        std::vector<TSmlRect> afterParts;
    };
    // False when the message could not have changed a record's place or shape.
    bool Act(const TSmlWindowMsg& header, const std::u16string& title, const std::optional<TIconImage>& icon,
             const std::optional<std::vector<uint8_t>>& region);
    void DoClip(const TSmlWindowMsg& header, const TChange* change);
    void CreateOrUpdate(const TSmlWindowMsg& header, const std::u16string& title,
                        const std::optional<TIconImage>& icon, const std::optional<std::vector<uint8_t>>& region);
    TSmlWindowRec* Find(int64_t serverHandle);
    bool HasLiveWindow(const TSmlWindowRec& record) const;
    uint16_t OnActivate(TTaskbarHandle window, uint64_t wParam, TSmlClientMsg& message);
    // change: only its window changed since the last clip; nullptr: clip from scratch.
    void ClipNow(const TChange* change);
    // Brings the last clip up to date after one window's change.
    void ClipChange(const TChange& change);
    // What the records (and the corner pixel) add to each of the areas, cut to it.
    std::vector<TSmlRect> ClipParts(std::span<const TSmlRect> areas) const;
    // The button's label: the title, or the application's name for an empty one.
    const std::u16string& Label(const std::u16string& title) const { return title.empty() ? appName_ : title; }
    // The taskbar window stands where its server window is (not while parked).
    void PlaceTaskbarWindow(const TSmlWindowRec& record);
    // The server's menu went: the window menu's interaction is over.
    void EndWindowMenu();

    TSmlPorts ports_;
    TSmlRegion lastClip_;
    bool clipKnown_ = false;   // lastClip_ is the union of the records as they are
    uint64_t clipChanges_ = 0; // the list's Changes() when lastClip_ was made
    uint64_t ownChanges_ = 0;  // the list changes the message being handled made itself
    int64_t menuPoint_ = 0;
    TImeWindow* ime_ = nullptr;
    std::u16string appName_;
    int64_t activeServer_ = 0;
    TTaskbarHandle menuOwner_ = 0;   // the taskbar window whose window menu was asked for
    int64_t ownerMenu_ = 0;          // the server's menu that answered it
};

}  // namespace kiv
