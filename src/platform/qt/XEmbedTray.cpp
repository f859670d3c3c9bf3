#include "platform/qt/XEmbedTray.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>

namespace kiv {

namespace {

constexpr uint32_t kSystemTrayRequestDock = 0;

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// The window whose event mask brought the event, for the kinds an icon's
// window selects (a root listener's copy of a structure event is not the icon's).
xcb_window_t WindowOf(const xcb_generic_event_t& event) {
    switch (event.response_type & ~0x80) {
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE:
            return reinterpret_cast<const xcb_button_press_event_t&>(event).event;
        case XCB_MOTION_NOTIFY:
            return reinterpret_cast<const xcb_motion_notify_event_t&>(event).event;
        case XCB_ENTER_NOTIFY:
        case XCB_LEAVE_NOTIFY:
            return reinterpret_cast<const xcb_enter_notify_event_t&>(event).event;
        case XCB_EXPOSE:
            return reinterpret_cast<const xcb_expose_event_t&>(event).window;
        case XCB_CONFIGURE_NOTIFY:
            return reinterpret_cast<const xcb_configure_notify_event_t&>(event).event;
        case XCB_DESTROY_NOTIFY:
            return reinterpret_cast<const xcb_destroy_notify_event_t&>(event).event;
        case XCB_REPARENT_NOTIFY:
            return reinterpret_cast<const xcb_reparent_notify_event_t&>(event).event;
        case XCB_MAP_NOTIFY:
            return reinterpret_cast<const xcb_map_notify_event_t&>(event).event;
        case XCB_UNMAP_NOTIFY:
            return reinterpret_cast<const xcb_unmap_notify_event_t&>(event).event;
        case XCB_CLIENT_MESSAGE:
            return reinterpret_cast<const xcb_client_message_event_t&>(event).window;
        default:
            return XCB_WINDOW_NONE;
    }
}

}  // namespace

std::unique_ptr<TXEmbedTray> TXEmbedTray::Create() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (c == nullptr || xcb_connection_has_error(c)) return nullptr;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen == nullptr) return nullptr;
    return std::unique_ptr<TXEmbedTray>(new TXEmbedTray(c, screen));
}

TXEmbedTray::TXEmbedTray(xcb_connection_t* connection, const xcb_screen_t* screen)
    : connection_(connection), screen_(screen) {
    atoms_.traySelection = Intern(connection_, "_NET_SYSTEM_TRAY_S0");
    atoms_.trayOpcode = Intern(connection_, "_NET_SYSTEM_TRAY_OPCODE");
    atoms_.trayVisual = Intern(connection_, "_NET_SYSTEM_TRAY_VISUAL");
    atoms_.manager = Intern(connection_, "MANAGER");
    atoms_.xembed = Intern(connection_, "_XEMBED");
    atoms_.xembedInfo = Intern(connection_, "_XEMBED_INFO");
    atoms_.netWmName = Intern(connection_, "_NET_WM_NAME");
    atoms_.utf8String = Intern(connection_, "UTF8_STRING");

    // A new tray announces itself on the root window to StructureNotify
    // listeners. The root's mask is per connection and Qt has one already:
    // add to it, never replace it.
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, screen_->root), nullptr);
    uint32_t mask = attributes ? attributes->your_event_mask : 0;
    std::free(attributes);
    mask |= XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, screen_->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TXEmbedTray::~TXEmbedTray() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

xcb_window_t TXEmbedTray::Owner() const {
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, atoms_.traySelection), nullptr);
    if (!reply) return XCB_WINDOW_NONE;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    return owner;
}

xcb_visualid_t TXEmbedTray::ArgbVisual(xcb_window_t owner) const {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, owner, atoms_.trayVisual, XCB_ATOM_VISUALID, 0, 1), nullptr);
    if (!reply) return 0;
    xcb_visualid_t visual = 0;
    if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        visual = *static_cast<const xcb_visualid_t*>(xcb_get_property_value(reply));
    std::free(reply);
    if (visual == 0) return 0;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem; xcb_depth_next(&depths)) {
        if (depths.data->depth != 32) continue;
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
            if (visuals.data->visual_id == visual) return visual;
    }
    return 0;
}

void TXEmbedTray::RequestDock(xcb_window_t owner, xcb_window_t icon) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = owner;
    event.type = atoms_.trayOpcode;
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = kSystemTrayRequestDock;
    event.data.data32[2] = icon;
    xcb_send_event(connection_, 0, owner, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}

void TXEmbedTray::Watch(xcb_window_t window, THandler handler) { handlers_[window] = std::move(handler); }

void TXEmbedTray::Unwatch(xcb_window_t window) { handlers_.erase(window); }

bool TXEmbedTray::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || message == nullptr) return false;
    const auto& event = *static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event.response_type & ~0x80;
    if (type == XCB_CLIENT_MESSAGE) {
        const auto& client = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (client.window == screen_->root && client.type == atoms_.manager && client.format == 32 &&
            client.data.data32[1] == atoms_.traySelection) {
            if (onNewTray) onNewTray();
            return false;  // Qt's own tray support listens too
        }
    }
    const xcb_window_t window = WindowOf(event);
    const auto found = handlers_.find(window);
    if (window == XCB_WINDOW_NONE || found == handlers_.end()) return false;
    // The handler may unwatch its window (or others) while it runs.
    const THandler handler = found->second;
    handler(event);
    return true;
}

}  // namespace kiv
