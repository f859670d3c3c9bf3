#include "platform/qt/XDesktopProbe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kiv {

namespace {

struct TFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using TReply = std::unique_ptr<T, TFree>;

struct TDisconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using TConnection = std::unique_ptr<xcb_connection_t, TDisconnect>;

xcb_atom_t Atom(xcb_connection_t* c, const std::string& name) {
    TReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::string PropertyBytes(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    TReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// The EWMH window manager: the check window named on the root, and its name.
std::string WindowManagerName(xcb_connection_t* c, xcb_window_t root) {
    const std::string check = PropertyBytes(c, root, Atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    if (check.size() < sizeof(xcb_window_t)) return {};
    xcb_window_t window = 0;
    std::memcpy(&window, check.data(), sizeof window);
    std::string name = PropertyBytes(c, window, Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"));
    if (name.empty()) name = PropertyBytes(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    // A manager whose check window carries no name is still a manager.
    return name.empty() ? std::string("(unnamed)") : name;
}

// Panels mark themselves as docks; they stay children of the root window.
bool DockWindowExists(xcb_connection_t* c, xcb_window_t root) {
    TReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree) return false;
    const xcb_atom_t type = Atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t dock = Atom(c, "_NET_WM_WINDOW_TYPE_DOCK");
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const std::string types = PropertyBytes(c, children[i], type, XCB_ATOM_ATOM);
        for (std::size_t at = 0; at + sizeof(xcb_atom_t) <= types.size(); at += sizeof(xcb_atom_t)) {
            xcb_atom_t atom = 0;
            std::memcpy(&atom, types.data() + at, sizeof atom);
            if (atom == dock) return true;
        }
    }
    return false;
}

}  // namespace

std::string XDisplayProblem() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return "no X display: DISPLAY is not set (a Wayland desktop provides one through XWayland)";
    TConnection c(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(c.get()) != 0) return std::string("cannot open the X display ") + display;
    return {};
}

TXDesktopFacts ProbeXDesktop() {
    TXDesktopFacts facts;
    const char* display = std::getenv("DISPLAY");
    facts.display = display ? display : "";
    facts.problem = XDisplayProblem();
    if (!facts.problem.empty()) return facts;
    int screenNumber = 0;
    TConnection c(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(c.get()) != 0) {
        facts.problem = "cannot open the X display " + facts.display;
        return facts;
    }
    facts.reachable = true;
    const xcb_setup_t* setup = xcb_get_setup(c.get());
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;

    TReply<xcb_query_extension_reply_t> xwayland(
        xcb_query_extension_reply(c.get(), xcb_query_extension(c.get(), 8, "XWAYLAND"), nullptr));
    facts.xwayland = xwayland && xwayland->present;
    facts.windowManager = WindowManagerName(c.get(), root);
    facts.panel = DockWindowExists(c.get(), root);
    const xcb_atom_t tray = Atom(c.get(), "_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
    TReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c.get(), xcb_get_selection_owner(c.get(), tray), nullptr));
    facts.xembedTray = owner && owner->owner != XCB_WINDOW_NONE;
    return facts;
}

}  // namespace kiv
