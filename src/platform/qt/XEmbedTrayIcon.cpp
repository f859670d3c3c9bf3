#include "platform/qt/XEmbedTrayIcon.h"

#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/qt/IconFileReader.h"
#include "platform/qt/XEmbedTray.h"

namespace kiv {

namespace {

// Until the tray says otherwise; GTK trays size their slot from the hints.
constexpr int kInitialSide = 22;
constexpr int kTooltipDelayMs = 500;
constexpr uint32_t kXEmbedMapped = 1;
constexpr uint32_t kParentRelative = 1;
constexpr uint32_t kMinSizeHint = 16;   // PMinSize
constexpr uint32_t kBaseSizeHint = 256; // PBaseSize
constexpr char kClass[] = "kivtrayicon\0KivTrayIcon";  // WM_CLASS: instance, class
constexpr char kName[] = "KivTrayIcon";

}  // namespace

TXEmbedTrayIcon::TXEmbedTrayIcon(TXEmbedTray& tray, TButtonReport report) : tray_(tray), report_(std::move(report)) {
    hover_.setSingleShot(true);
    hover_.setInterval(kTooltipDelayMs);
    QObject::connect(&hover_, &QTimer::timeout, [this] { ShowTooltip(); });
}

TXEmbedTrayIcon::~TXEmbedTrayIcon() { Remove(); }

void TXEmbedTrayIcon::SetImages(const std::vector<QImage>& images) {
    images_ = images;
    if (window_ == XCB_WINDOW_NONE) Dock();
    else Paint();
}

void TXEmbedTrayIcon::SetTooltip(const QString& text) {
    tooltip_ = text;
    if (!tooltipShown_) return;
    if (tooltip_.isEmpty()) HideTooltip();
    else QToolTip::showText(pointer_, tooltip_);
}

void TXEmbedTrayIcon::Remove() {
    removed_ = true;
    hover_.stop();
    HideTooltip();
    DropWindow(true);
}

void TXEmbedTrayIcon::Redock() {
    if (removed_) return;
    DropWindow(true);
    Dock();
}

void TXEmbedTrayIcon::Dock() {
    if (removed_ || images_.empty() || window_ != XCB_WINDOW_NONE) return;
    const xcb_window_t owner = tray_.Owner();
    if (owner == XCB_WINDOW_NONE) return;  // docks when a tray announces itself
    xcb_connection_t* c = tray_.Connection();
    const xcb_screen_t& screen = tray_.Screen();
    const uint32_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_EXPOSURE |
                            XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_ENTER_WINDOW |
                            XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_POINTER_MOTION;
    width_ = height_ = kInitialSide;
    window_ = xcb_generate_id(c);
    if (const xcb_visualid_t visual = tray_.ArgbVisual(owner)) {
        // Transparency of our own: a colormap for the visual, and explicit
        // border and background pixels (the parent's do not fit this depth).
        colormap_ = xcb_generate_id(c);
        xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap_, screen.root, visual);
        const uint32_t values[] = {0, 0, events, colormap_};
        xcb_create_window(c, 32, window_, screen.root, 0, 0, kInitialSide, kInitialSide, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
        depth_ = 32;
        argb_ = true;
    } else {
        // The tray's own background shows through; the icon is blended over it.
        const uint32_t values[] = {kParentRelative, events};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen.root, 0, 0, kInitialSide, kInitialSide, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK,
                          values);
        depth_ = screen.root_depth;
        argb_ = false;
    }
    gc_ = xcb_generate_id(c);
    xcb_create_gc(c, gc_, window_, 0, nullptr);
    SetProperties();
    tray_.Watch(window_, [this](const xcb_generic_event_t& event) { OnEvent(event); });
    // The tray maps the window once it is embedded; mapping it here would show
    // it on the desktop for a moment.
    tray_.RequestDock(owner, window_);
}

void TXEmbedTrayIcon::SetProperties() {
    xcb_connection_t* c = tray_.Connection();
    const TXEmbedAtoms& atoms = tray_.Atoms();
    const uint32_t info[] = {0, kXEmbedMapped};  // protocol version, flags
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, atoms.xembedInfo, atoms.xembedInfo, 32, 2, info);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof kClass, kClass);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof kName - 1, kName);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, atoms.netWmName, atoms.utf8String, 8, sizeof kName - 1,
                        kName);
    // flags, x, y, width, height, min, max, increments, aspects, base, gravity
    uint32_t hints[18] = {};
    hints[0] = kMinSizeHint | kBaseSizeHint;
    hints[5] = hints[6] = kInitialSide;
    hints[15] = hints[16] = kInitialSide;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                        hints);
}

void TXEmbedTrayIcon::DropWindow(bool destroy) {
    if (window_ == XCB_WINDOW_NONE) return;
    xcb_connection_t* c = tray_.Connection();
    tray_.Unwatch(window_);
    if (destroy) xcb_destroy_window(c, window_);
    xcb_free_gc(c, gc_);
    if (colormap_ != 0) xcb_free_colormap(c, colormap_);
    xcb_flush(c);
    window_ = XCB_WINDOW_NONE;
    gc_ = 0;
    colormap_ = 0;
}

void TXEmbedTrayIcon::OnEvent(const xcb_generic_event_t& event) {
    switch (event.response_type & ~0x80) {
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE: {
            const auto& button = reinterpret_cast<const xcb_button_press_event_t&>(event);
            const bool down = (event.response_type & ~0x80) == XCB_BUTTON_PRESS;
            HideTooltip();
            hover_.stop();
            // Wheel steps (4, 5) and extra buttons mean nothing to a tray icon.
            TTrayButton which;
            switch (button.detail) {
                case 1: which = TTrayButton::Left; break;
                case 2: which = TTrayButton::Middle; break;
                case 3: which = TTrayButton::Right; break;
                default: return;
            }
            // Last: the icon may be removed from inside the report.
            report_(which, down, QPoint(button.root_x, button.root_y));
            return;
        }
        case XCB_EXPOSE:
            if (reinterpret_cast<const xcb_expose_event_t&>(event).count == 0) Paint();
            return;
        case XCB_CONFIGURE_NOTIFY: {
            // Moved or resized: the tray's background under the icon changed too.
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            width_ = configure.width;
            height_ = configure.height;
            Paint();
            return;
        }
        case XCB_DESTROY_NOTIFY:
            // A tray that was killed takes its icons' windows with it.
            HideTooltip();
            DropWindow(false);
            return;
        case XCB_REPARENT_NOTIFY:
            // A tray that quits hands the window back to the root, where it
            // would show on the desktop. The next tray gets a fresh window.
            if (reinterpret_cast<const xcb_reparent_notify_event_t&>(event).parent == tray_.Screen().root) {
                HideTooltip();
                DropWindow(true);
            }
            return;
        case XCB_ENTER_NOTIFY: {
            const auto& enter = reinterpret_cast<const xcb_enter_notify_event_t&>(event);
            pointer_ = QPoint(enter.root_x, enter.root_y);
            hover_.start();
            return;
        }
        case XCB_MOTION_NOTIFY: {
            const auto& motion = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
            pointer_ = QPoint(motion.root_x, motion.root_y);
            if (!tooltipShown_) hover_.start();  // the pointer has not come to rest yet
            return;
        }
        case XCB_LEAVE_NOTIFY:
            hover_.stop();
            HideTooltip();
            return;
        default:
            return;
    }
}

void TXEmbedTrayIcon::Paint() {
    if (window_ == XCB_WINDOW_NONE || images_.empty() || width_ <= 0 || height_ <= 0) return;
    const int side = std::min(width_, height_);
    const QImage best = BestIconImage(images_, side);
    if (best.isNull()) return;
    const QImage icon = best.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage canvas;
    if (argb_) {
        canvas = QImage(width_, height_, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
    } else {
        canvas = Background();
        if (canvas.isNull()) return;  // not on the screen yet: an Expose follows
    }
    QPainter painter(&canvas);
    painter.drawImage((width_ - icon.width()) / 2, (height_ - icon.height()) / 2, icon);
    painter.end();
    Put(canvas);
}

QImage TXEmbedTrayIcon::Background() {
    xcb_connection_t* c = tray_.Connection();
    xcb_clear_area(c, 0, window_, 0, 0, static_cast<uint16_t>(width_), static_cast<uint16_t>(height_));
    // Before the tray maps the window there is nothing to read: an error, taken here.
    xcb_generic_error_t* error = nullptr;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, 0, 0, static_cast<uint16_t>(width_),
                      static_cast<uint16_t>(height_), ~0u),
        &error);
    std::free(error);
    if (!reply) return QImage();
    QImage background;
    const int length = xcb_get_image_data_length(reply);
    if (length == width_ * height_ * 4)  // 32 bits a pixel, as every true-colour screen here has
        background = QImage(xcb_get_image_data(reply), width_, height_, width_ * 4, QImage::Format_RGB32).copy();
    std::free(reply);
    return background;
}

void TXEmbedTrayIcon::Put(const QImage& canvas) {
    xcb_connection_t* c = tray_.Connection();
    const QImage image = argb_ ? canvas : canvas.convertToFormat(QImage::Format_RGB32);
    const auto stride = static_cast<uint32_t>(image.bytesPerLine());
    // Requests have a size limit: send the picture in bands of rows that fit.
    const uint32_t requestBytes = xcb_get_maximum_request_length(c) * 4 - 64;
    const int rows = std::max(1, static_cast<int>(requestBytes / stride));
    for (int y = 0; y < image.height(); y += rows) {
        const int band = std::min(rows, image.height() - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<uint16_t>(image.width()),
                      static_cast<uint16_t>(band), 0, static_cast<int16_t>(y), 0, depth_, stride * band,
                      image.constScanLine(y));
    }
    xcb_flush(c);
}

void TXEmbedTrayIcon::ShowTooltip() {
    if (tooltip_.isEmpty() || window_ == XCB_WINDOW_NONE) return;
    QToolTip::showText(pointer_, tooltip_);
    tooltipShown_ = true;
}

void TXEmbedTrayIcon::HideTooltip() {
    if (!tooltipShown_) return;
    QToolTip::hideText();
    tooltipShown_ = false;
}

}  // namespace kiv
