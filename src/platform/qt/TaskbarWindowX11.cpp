#include "platform/qt/TaskbarWindowX11.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace kiv {

namespace {

constexpr uint32_t kSourcePager = 2;

xcb_connection_t* QtConnection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t Root(xcb_connection_t* c) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return screen ? screen->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    // Atoms live as long as the X server: each is asked for once per name.
    static std::map<std::string, xcb_atom_t> known;
    if (const auto it = known.find(name); it != known.end()) return it->second;
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    known[name] = atom;
    return atom;
}

// The first 32-bit value of a window property; nullopt when it is not set.
std::optional<uint32_t> Cardinal(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
    if (!reply) return std::nullopt;
    std::optional<uint32_t> value;
    if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        value = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return value;
}

// _NET_ACTIVE_WINDOW as a pager (or a task switcher) asks it of the window manager.
void AskToActivate(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t activeWindow) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = activeWindow;
    event.data.data32[0] = kSourcePager;
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = XCB_WINDOW_NONE;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

}  // namespace

void SetWindowClass(QWindow& window, const std::string& className) {
    xcb_connection_t* c = QtConnection();
    if (!c) return;
    const std::string value = className + '\0' + className + '\0';  // instance, then class
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()), XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<uint32_t>(value.size()), value.data());
    xcb_flush(c);
}

bool HaveWindowManager() {
    xcb_connection_t* c = QtConnection();
    return c && Cardinal(c, Root(c), Atom(c, "_NET_SUPPORTING_WM_CHECK")).value_or(0) != 0;
}

uint32_t ActiveWindowId() {
    xcb_connection_t* c = QtConnection();
    return c ? Cardinal(c, Root(c), Atom(c, "_NET_ACTIVE_WINDOW")).value_or(0) : 0;
}

void AskToActivateAsPager(uint32_t windowId) {
    xcb_connection_t* c = QtConnection();
    if (!c) return;
    AskToActivate(c, Root(c), windowId, Atom(c, "_NET_ACTIVE_WINDOW"));
    xcb_flush(c);
}

uint32_t WmStateAtom() {
    xcb_connection_t* c = QtConnection();
    return c ? Atom(c, "WM_STATE") : 0;
}

bool ManagedByWindowManager(uint32_t windowId) {
    xcb_connection_t* c = QtConnection();
    if (!c) return false;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, windowId, Atom(c, "WM_STATE"), XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
    const bool managed = reply && reply->type != XCB_ATOM_NONE;
    std::free(reply);
    return managed;
}

bool WindowViewable(uint32_t windowId) {
    xcb_connection_t* c = QtConnection();
    if (!c) return true;
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, windowId), nullptr);
    const bool viewable = !attributes || attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    return viewable;
}

void SetCloseOnlyFunctions(QWindow& window) {
    xcb_connection_t* c = QtConnection();
    if (!c) return;
    constexpr uint32_t kFunctionsAndDecorations = 1 | 2;
    constexpr uint32_t kFunctionClose = 32;
    const uint32_t hints[5] = {kFunctionsAndDecorations, kFunctionClose, 0, 0, 0};
    const xcb_atom_t motif = Atom(c, "_MOTIF_WM_HINTS");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()), motif, motif, 32, 5,
                        hints);
    xcb_flush(c);
}

}  // namespace kiv

namespace kiv {

namespace {

std::vector<uint32_t> Cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096), nullptr);
    std::vector<uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

}  // namespace

uint32_t ActivateNextTaskWindow(uint32_t windowId, const std::set<uint32_t>& skipped) {
    xcb_connection_t* c = QtConnection();
    if (!c) return 0;
    const xcb_window_t root = Root(c);
    // Bottom to top: the windows after this one in the stacking order lie before it in the list.
    const std::vector<uint32_t> stacking = Cardinals(c, root, Atom(c, "_NET_CLIENT_LIST_STACKING"));
    const xcb_atom_t state = Atom(c, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = Atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    const xcb_atom_t hidden = Atom(c, "_NET_WM_STATE_HIDDEN");
    std::size_t at = stacking.size();
    for (std::size_t i = 0; i < stacking.size(); ++i)
        if (stacking[i] == windowId) at = i;
    for (std::size_t i = at; i-- > 0;) {
        const uint32_t candidate = stacking[i];
        if (skipped.count(candidate)) continue;
        const std::vector<uint32_t> states = Cardinals(c, candidate, state);
        const bool shownWithButton = std::find(states.begin(), states.end(), skipTaskbar) == states.end() &&
                                     std::find(states.begin(), states.end(), hidden) == states.end();
        if (!shownWithButton) continue;
        AskToActivate(c, root, candidate, Atom(c, "_NET_ACTIVE_WINDOW"));
        xcb_flush(c);
        return candidate;
    }
    return 0;
}

}  // namespace kiv
