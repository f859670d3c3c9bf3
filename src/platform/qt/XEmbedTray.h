#pragma once
// The desktop's XEmbed system tray as the tray icons see it: who owns the tray
// selection now, the visual it offers its icons, the dock request, and the X
// events that concern the icons (a new tray announcing itself on the root
// window; whatever happens to an icon's own window). Everything runs on Qt's
// own X connection; the events arrive through a native event filter.
#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <functional>
#include <map>
#include <memory>

namespace kiv {

struct TXEmbedAtoms {
    xcb_atom_t traySelection = XCB_ATOM_NONE;  // _NET_SYSTEM_TRAY_S0
    xcb_atom_t trayOpcode = XCB_ATOM_NONE;
    xcb_atom_t trayVisual = XCB_ATOM_NONE;
    xcb_atom_t manager = XCB_ATOM_NONE;
    xcb_atom_t xembed = XCB_ATOM_NONE;
    xcb_atom_t xembedInfo = XCB_ATOM_NONE;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
};

class TXEmbedTray final : public QAbstractNativeEventFilter {
public:
    using THandler = std::function<void(const xcb_generic_event_t& event)>;

    // nullptr when Qt runs on no X connection.
    static std::unique_ptr<TXEmbedTray> Create();
    ~TXEmbedTray() override;
    TXEmbedTray(const TXEmbedTray&) = delete;
    TXEmbedTray& operator=(const TXEmbedTray&) = delete;

    xcb_connection_t* Connection() const { return connection_; }
    const xcb_screen_t& Screen() const { return *screen_; }
    const TXEmbedAtoms& Atoms() const { return atoms_; }

    // The window that owns the tray selection now; XCB_WINDOW_NONE without a tray.
    xcb_window_t Owner() const;
    // The visual the tray offers its icons when it is a 32-bit one; 0 otherwise.
    xcb_visualid_t ArgbVisual(xcb_window_t owner) const;
    // SYSTEM_TRAY_REQUEST_DOCK for the icon window.
    void RequestDock(xcb_window_t owner, xcb_window_t icon);

    // The events of one window go to its handler until Unwatch.
    void Watch(xcb_window_t window, THandler handler);
    void Unwatch(xcb_window_t window);
    // A tray took the selection (a new one, or one that restarted).
    std::function<void()> onNewTray;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    TXEmbedTray(xcb_connection_t* connection, const xcb_screen_t* screen);

    xcb_connection_t* connection_;
    const xcb_screen_t* screen_;
    TXEmbedAtoms atoms_;
    std::map<xcb_window_t, THandler> handlers_;
};

}  // namespace kiv
