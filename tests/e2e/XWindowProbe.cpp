#include "XWindowProbe.h"

#include <dlfcn.h>

#include <cstdlib>

#include <thread>

#if __has_include(<xcb/xcb.h>)
#include <xcb/xcb.h>
#define KIV_HAVE_XCB_HEADERS 1
#endif

namespace kiv::test {

#ifdef KIV_HAVE_XCB_HEADERS

namespace {

// The SHAPE extension's request, as libxcb-shape exports it.
struct ShapeRectanglesCookie {
    unsigned int sequence;
};
struct ShapeRectanglesReply;
using ShapeGetRectangles = ShapeRectanglesCookie (*)(xcb_connection_t*, xcb_window_t, uint8_t);
using ShapeGetRectanglesReply = ShapeRectanglesReply* (*)(xcb_connection_t*, ShapeRectanglesCookie, xcb_generic_error_t**);
using ShapeRectangles = xcb_rectangle_t* (*)(const ShapeRectanglesReply*);
using ShapeRectanglesLength = int (*)(const ShapeRectanglesReply*);
constexpr uint8_t kShapeBounding = 0;
constexpr uint8_t kShapeInput = 2;

}  // namespace

struct XWindowProbe::TApi {
    decltype(&xcb_connect) connect;
    decltype(&xcb_disconnect) disconnect;
    decltype(&xcb_connection_has_error) hasError;
    decltype(&xcb_get_setup) getSetup;
    decltype(&xcb_setup_roots_iterator) roots;
    decltype(&xcb_generate_id) generateId;
    decltype(&xcb_create_window) createWindow;
    decltype(&xcb_map_window) mapWindow;
    decltype(&xcb_configure_window) configureWindow;
    decltype(&xcb_flush) flush;
    decltype(&xcb_poll_for_event) pollForEvent;
    ShapeGetRectangles getRectangles;
    ShapeGetRectanglesReply getRectanglesReply;
    ShapeRectangles rectangles;
    ShapeRectanglesLength rectanglesLength;
};

namespace {

template <typename T>
bool Load(void* library, const char* name, T& into) {
    into = reinterpret_cast<T>(dlsym(library, name));
    return into != nullptr;
}

}  // namespace

XWindowProbe::XWindowProbe(const std::string& display) {
    xcb_ = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    shape_ = dlopen("libxcb-shape.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!xcb_ || !shape_) {
        error_ = "libxcb.so.1 or libxcb-shape.so.0 is missing";
        return;
    }
    api_ = new TApi{};
    TApi& a = *api_;
    const bool loaded = Load(xcb_, "xcb_connect", a.connect) && Load(xcb_, "xcb_disconnect", a.disconnect) &&
                        Load(xcb_, "xcb_connection_has_error", a.hasError) && Load(xcb_, "xcb_get_setup", a.getSetup) &&
                        Load(xcb_, "xcb_setup_roots_iterator", a.roots) && Load(xcb_, "xcb_generate_id", a.generateId) &&
                        Load(xcb_, "xcb_create_window", a.createWindow) && Load(xcb_, "xcb_map_window", a.mapWindow) &&
                        Load(xcb_, "xcb_configure_window", a.configureWindow) && Load(xcb_, "xcb_flush", a.flush) &&
                        Load(xcb_, "xcb_poll_for_event", a.pollForEvent) &&
                        Load(shape_, "xcb_shape_get_rectangles", a.getRectangles) &&
                        Load(shape_, "xcb_shape_get_rectangles_reply", a.getRectanglesReply) &&
                        Load(shape_, "xcb_shape_get_rectangles_rectangles", a.rectangles) &&
                        Load(shape_, "xcb_shape_get_rectangles_rectangles_length", a.rectanglesLength);
    if (!loaded) {
        error_ = "the xcb libraries lack a function";
        return;
    }
    int screen = 0;
    xcb_connection_t* connection = a.connect(display.c_str(), &screen);
    if (!connection || a.hasError(connection)) {
        if (connection) a.disconnect(connection);
        error_ = "cannot connect to " + display;
        return;
    }
    xcb_screen_iterator_t it = a.roots(a.getSetup(connection));
    root_ = it.data->root;
    connection_ = connection;
}

XWindowProbe::~XWindowProbe() {
    if (connection_) api_->disconnect(static_cast<xcb_connection_t*>(connection_));
    delete api_;
    if (shape_) dlclose(shape_);
    if (xcb_) dlclose(xcb_);
}

std::vector<TSmlRect> XWindowProbe::Shape(std::uint32_t window, bool input) {
    std::vector<TSmlRect> rects;
    if (!connection_) return rects;
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const ShapeRectanglesCookie cookie = api_->getRectangles(c, window, input ? kShapeInput : kShapeBounding);
    ShapeRectanglesReply* reply = api_->getRectanglesReply(c, cookie, nullptr);
    if (!reply) return rects;
    const xcb_rectangle_t* r = api_->rectangles(reply);
    const int n = api_->rectanglesLength(reply);
    for (int i = 0; i < n; ++i) rects.push_back({r[i].x, r[i].y, r[i].x + r[i].width, r[i].y + r[i].height});
    std::free(reply);
    return rects;
}

std::uint32_t XWindowProbe::CreateLocalWindow(int x, int y, int width, int height) {
    if (!connection_) return 0;
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const xcb_window_t window = api_->generateId(c);
    const uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS};  // override-redirect, events
    api_->createWindow(c, XCB_COPY_FROM_PARENT, window, root_, static_cast<int16_t>(x), static_cast<int16_t>(y),
                       static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                       XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    api_->mapWindow(c, window);
    const uint32_t below[] = {XCB_STACK_MODE_BELOW};
    api_->configureWindow(c, window, XCB_CONFIG_WINDOW_STACK_MODE, below);
    api_->flush(c);
    return window;
}

bool XWindowProbe::WaitButtonPress(std::uint32_t window, std::chrono::milliseconds timeout) {
    if (!connection_) return false;
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        while (xcb_generic_event_t* event = api_->pollForEvent(c)) {
            const bool press = (event->response_type & 0x7F) == XCB_BUTTON_PRESS &&
                               reinterpret_cast<xcb_button_press_event_t*>(event)->event == window;
            std::free(event);
            if (press) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

#else

struct XWindowProbe::TApi {};
XWindowProbe::XWindowProbe(const std::string&) { error_ = "built without the xcb headers"; }
XWindowProbe::~XWindowProbe() = default;
std::vector<TSmlRect> XWindowProbe::Shape(std::uint32_t, bool) { return {}; }
std::uint32_t XWindowProbe::CreateLocalWindow(int, int, int, int) { return 0; }
bool XWindowProbe::WaitButtonPress(std::uint32_t, std::chrono::milliseconds) { return false; }

#endif

}  // namespace kiv::test
