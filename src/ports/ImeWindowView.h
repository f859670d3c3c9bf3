#pragma once
// The input-method window on the screen: a window laid over the remote-desktop
// view that takes the keyboard focus in the view's place. Plain keys, mouse,
// focus and cursor go on to the view as if the window were not there; what a
// local input method composes comes to the logic as text.
#include <cstdint>
#include <memory>
#include <string>

#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

// A key event that reached the window.
struct TImeKey {
    bool press = true;
    bool altKey = false;        // the Alt key itself
    bool fromKeyboard = true;   // false: made by the input method, with no key of the keyboard behind it
    char32_t character = 0;     // the character it types; 0: none
    uint32_t code = 0;          // the keyboard's code of the key; 0: none
};

// What the window reports to its logic.
class IImeWindowEvents {
public:
    virtual ~IImeWindowEvents() = default;
    // Answers whether the logic took the key as text; when not, the key goes to the view.
    virtual bool OnKey(const TImeKey& key) = 0;
    // The input method is composing (or stopped composing).
    virtual void OnComposing(bool composing) = 0;
    // The input method committed text.
    virtual void OnCommit(const std::u16string& text) = 0;
    // The flush posted with PostFlush has come round.
    virtual void OnFlush() = 0;
};

class IImeWindowView {
public:
    virtual ~IImeWindowView() = default;
    // The window's id on the display (the video display program draws into it).
    virtual uint64_t Handle() const = 0;
    // Keyboard focus, and the window on top of its siblings.
    virtual void TakeFocus() = 0;
    // The session window comes forward and this window takes the focus.
    virtual void Activate() = 0;
    // The server's caret, in the window's pixels: the composition window goes there.
    virtual void SetCaretRect(const TRect& caret) = 0;
    // The local input method on or off (off in password fields).
    virtual void SetNativeInput(bool enabled) = 0;
    // OnFlush, once the events already queued are handled.
    virtual void PostFlush() = 0;
    virtual std::u16string ClipboardText() const = 0;
    // The remote-desktop view's rectangle in the parent's pixels, and the window's placement there.
    virtual TRect ViewRect() const = 0;
    virtual void MoveTo(const TRect& rect) = 0;
};

class IImeWindowFactory {
public:
    virtual ~IImeWindowFactory() = default;
    // A window over the remote-desktop view: a child of the session window in
    // seamless mode, else of the panel that holds the view. Null when it cannot
    // be made.
    virtual std::unique_ptr<IImeWindowView> CreateImeWindow(IImeWindowEvents& events, bool seamless) = 0;
};

}  // namespace kiv
