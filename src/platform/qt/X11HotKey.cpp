#include "platform/qt/X11HotKey.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <string>

#include "infra/DebugLog.h"

namespace kiv {

namespace {

constexpr uint32_t kKeysymLowerA = 0x61;   // XK_a
constexpr uint32_t kKeysymNumLock = 0xFF7F;  // XK_Num_Lock
constexpr uint8_t kBadAccess = 10;
constexpr uint16_t kModifierBits = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

xcb_connection_t* QtConnection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

uint16_t XModifiers(uint32_t modifiers) {
    uint16_t mask = 0;
    if (modifiers & kHotKeyAlt) mask |= XCB_MOD_MASK_1;
    if (modifiers & kHotKeyCtrl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & kHotKeyShift) mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

uint32_t HotKeyModifiers(uint16_t state) {
    uint32_t modifiers = 0;
    if (state & XCB_MOD_MASK_1) modifiers |= kHotKeyAlt;
    if (state & XCB_MOD_MASK_CONTROL) modifiers |= kHotKeyCtrl;
    if (state & XCB_MOD_MASK_SHIFT) modifiers |= kHotKeyShift;
    return modifiers;
}

}  // namespace

TX11HotKey::TX11HotKey() : connection_(QtConnection()) {
    if (!connection_) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen ? screen->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TX11HotKey::~TX11HotKey() {
    Unregister();
    if (connection_ && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

xcb_keycode_t TX11HotKey::KeycodeOf(uint32_t keysym) const {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<uint8_t>(count)), nullptr);
    if (!reply) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int code = 0; code < count && found == 0; ++code)
        for (int column = 0; column < perCode; ++column)
            if (syms[code * perCode + column] == keysym) {
                found = static_cast<xcb_keycode_t>(setup->min_keycode + code);
                break;
            }
    std::free(reply);
    return found;
}

uint16_t TX11HotKey::NumLockMask() const {
    const xcb_keycode_t numLock = KeycodeOf(kKeysymNumLock);
    if (numLock == 0) return 0;
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr);
    if (!reply) return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    uint16_t mask = 0;
    for (int modifier = 0; modifier < 8 && mask == 0; ++modifier)
        for (int i = 0; i < reply->keycodes_per_modifier; ++i)
            if (codes[modifier * reply->keycodes_per_modifier + i] == numLock) {
                mask = static_cast<uint16_t>(1u << modifier);
                break;
            }
    std::free(reply);
    return mask;
}

bool TX11HotKey::Register(uint32_t modifiers, uint32_t virtualKey, IGlobalHotKeyEvents* events) {
    Unregister();
    if (!connection_ || root_ == XCB_WINDOW_NONE || virtualKey < 'A' || virtualKey > 'Z') return false;
    keycode_ = KeycodeOf(kKeysymLowerA + (virtualKey - 'A'));
    if (keycode_ == 0) {
        if (DebugSwitches[dmMain]) WriteLog("[TX11HotKey]the keyboard has no key for " + std::string(1, char(virtualKey)));
        return false;
    }
    events_ = events;
    virtualKey_ = virtualKey;
    const uint16_t base = XModifiers(modifiers);
    const uint16_t numLock = NumLockMask();
    std::vector<uint16_t> variants{base, static_cast<uint16_t>(base | XCB_MOD_MASK_LOCK)};
    if (numLock != 0) {
        variants.push_back(static_cast<uint16_t>(base | numLock));
        variants.push_back(static_cast<uint16_t>(base | numLock | XCB_MOD_MASK_LOCK));
    }
    for (const uint16_t mask : variants) {
        xcb_generic_error_t* error = xcb_request_check(
            connection_, xcb_grab_key_checked(connection_, 1, root_, mask, keycode_, XCB_GRAB_MODE_ASYNC,
                                              XCB_GRAB_MODE_ASYNC));
        if (!error) {
            grabbed_.push_back(mask);
            continue;
        }
        // Someone else holds this combination: it stays theirs.
        if (DebugSwitches[dmMain])
            WriteLog("[TX11HotKey]key " + std::to_string(keycode_) + " with modifier mask " + std::to_string(mask) +
                     (error->error_code == kBadAccess ? " is grabbed by another program" : " cannot be grabbed") +
                     ", skipped");
        std::free(error);
        // Without the combination itself the lock-key variants serve nothing.
        if (mask == base) break;
    }
    xcb_flush(connection_);
    if (grabbed_.empty()) {
        events_ = nullptr;
        return false;
    }
    return true;
}

void TX11HotKey::Unregister() {
    if (!connection_) return;
    for (const uint16_t mask : grabbed_) xcb_ungrab_key(connection_, keycode_, root_, mask);
    // A round trip, not a flush: the key is free for other programs once this returns.
    if (!grabbed_.empty()) free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    grabbed_.clear();
    events_ = nullptr;
}

bool TX11HotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (grabbed_.empty() || eventType != "xcb_generic_event_t" || message == nullptr) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (key->event != root_ || key->detail != keycode_) return false;
    if (type == XCB_KEY_PRESS && events_) events_->OnHotKeyPressed(HotKeyModifiers(key->state & kModifierBits), virtualKey_);
    return true;
}

}  // namespace kiv
