#include "platform/qt/X11MoveResize.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace kiv {

void X11SyncWindowPosition(QWindow& window) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) return;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(window.winId()), screen->root, 0, 0), nullptr);
    if (!reply) return;
    const QPoint actual(reply->dst_x, reply->dst_y);
    std::free(reply);
    // Moving the window to where it is changes nothing on the screen.
    if (window.position() != actual) window.setPosition(actual);
}

}  // namespace kiv
