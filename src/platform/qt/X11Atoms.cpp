#include "platform/qt/X11Atoms.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace kiv {

namespace {

xcb_connection_t* Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

xcb_window_t Root(xcb_connection_t* c) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return screen ? screen->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

// The 32-bit values of a window property (atoms, windows, cardinals).
std::vector<uint32_t> Values32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    std::vector<uint32_t> values;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr);
    if (!reply) return values;
    if (reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

}  // namespace

bool OnX11() { return Connection() != nullptr; }

bool PointerButtonsSwapped() {
    xcb_connection_t* c = Connection();
    if (!c) return false;
    xcb_get_pointer_mapping_reply_t* reply = xcb_get_pointer_mapping_reply(c, xcb_get_pointer_mapping(c), nullptr);
    if (!reply) return false;
    const uint8_t* map = xcb_get_pointer_mapping_map(reply);
    const bool swapped = reply->map_len >= 3 && map[0] == 3 && map[2] == 1;
    std::free(reply);
    return swapped;
}

void SetSkipTaskbar(QWindow& window) {
    xcb_connection_t* c = Connection();
    if (!c) return;
    const xcb_window_t id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = Atom(c, "_NET_WM_STATE");
    const xcb_atom_t hints[2] = {Atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), Atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (!window.isVisible()) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, 2, hints);
    } else {
        // A mapped window changes its state through a request to the window manager.
        for (xcb_atom_t hint : hints) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = id;
            event.type = state;
            event.data.data32[0] = 1;  // add
            event.data.data32[1] = hint;
            event.data.data32[3] = 1;  // a normal application
            xcb_send_event(c, 0, Root(c),
                           XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                           reinterpret_cast<const char*>(&event));
        }
    }
    xcb_flush(c);
}

bool ActivateDesktopWindow() {
    xcb_connection_t* c = Connection();
    if (!c) return false;
    const xcb_window_t root = Root(c);
    const xcb_atom_t type = Atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktop = Atom(c, "_NET_WM_WINDOW_TYPE_DESKTOP");
    for (const uint32_t window : Values32(c, root, Atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW)) {
        const std::vector<uint32_t> types = Values32(c, window, type, XCB_ATOM_ATOM);
        if (std::find(types.begin(), types.end(), desktop) == types.end()) continue;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = Atom(c, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 1;  // an application asks
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(c);
        return true;
    }
    return false;
}

namespace {

// A window's rectangle on the screen while it is mapped and viewable.
std::optional<TRect> ViewableRect(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    if (!viewable) return std::nullopt;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!geometry) return std::nullopt;
    const int width = geometry->width, height = geometry->height;
    std::free(geometry);
    xcb_translate_coordinates_reply_t* at =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, Root(c), 0, 0), nullptr);
    if (!at) return std::nullopt;
    const TRect rect{at->dst_x, at->dst_y, width, height};
    std::free(at);
    return rect;
}

std::vector<xcb_window_t> Children(xcb_connection_t* c, xcb_window_t window) {
    std::vector<xcb_window_t> children;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (!tree) return children;
    const xcb_window_t* list = xcb_query_tree_children(tree);
    children.assign(list, list + xcb_query_tree_children_length(tree));
    std::free(tree);
    return children;
}

TRect Unite(const TRect& a, const TRect& b) {
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width), bottom = std::max(a.y + a.height, b.y + b.height);
    return TRect{left, top, right - left, bottom - top};
}

// The icons a tray embedded (windows that speak XEmbed) under a panel window.
std::optional<TRect> EmbeddedIcons(xcb_connection_t* c, xcb_window_t panel, int depth) {
    std::optional<TRect> area;
    const xcb_atom_t xembed = Atom(c, "_XEMBED_INFO");
    for (const xcb_window_t child : Children(c, panel)) {
        std::optional<TRect> found;
        if (!Values32(c, child, xembed, XCB_GET_PROPERTY_TYPE_ANY).empty()) found = ViewableRect(c, child);
        else if (depth > 0) found = EmbeddedIcons(c, child, depth - 1);
        if (found && found->width > 0 && found->height > 0) area = area ? Unite(*area, *found) : *found;
    }
    return area;
}

}  // namespace

std::optional<TRect> SystemTrayRect() {
    xcb_connection_t* c = Connection();
    if (!c) return std::nullopt;
    const xcb_atom_t selection = Atom(c, "_NET_SYSTEM_TRAY_S0");
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!owner) return std::nullopt;
    const xcb_window_t tray = owner->owner;
    std::free(owner);
    if (tray == XCB_WINDOW_NONE) return std::nullopt;
    // A tray that is a window of its own on the screen is the notification area.
    if (const auto own = ViewableRect(c, tray); own && own->width > 1 && own->height > 1) return own;
    // Panels own the selection with a hidden window and embed the icons in the
    // panel: the panel is the viewable window of the same X client (the high
    // bits of an id name its client), among the top-level windows and the
    // window manager's frames around them.
    const uint32_t clientBits = ~xcb_get_setup(c)->resource_id_mask;
    std::optional<TRect> panelRect;
    xcb_window_t panel = XCB_WINDOW_NONE;
    for (const xcb_window_t top : Children(c, Root(c))) {
        std::vector<xcb_window_t> candidates{top};
        if ((top & clientBits) != (tray & clientBits)) candidates = Children(c, top);
        for (const xcb_window_t candidate : candidates) {
            if ((candidate & clientBits) != (tray & clientBits)) continue;
            const auto rect = ViewableRect(c, candidate);
            if (!rect || rect->width <= 1 || rect->height <= 1) continue;
            if (!panelRect || int64_t{rect->width} * rect->height > int64_t{panelRect->width} * panelRect->height) {
                panelRect = rect;
                panel = candidate;
            }
        }
    }
    if (!panelRect) return std::nullopt;
    if (const auto icons = EmbeddedIcons(c, panel, 2)) return icons;
    return panelRect;
}

}  // namespace kiv
