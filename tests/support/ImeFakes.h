#pragma once
// A recording stand-in for the input-method window on the screen.
#include <memory>
#include <string>
#include <vector>

#include "ports/ImeWindowView.h"

namespace kiv::test {

struct FakeImeWindowView : IImeWindowView {
    uint64_t Handle() const override { return handle; }
    void TakeFocus() override { ++focused; }
    void Activate() override { ++activated; }
    void SetCaretRect(const TRect& caret) override { carets.push_back(caret); }
    void SetNativeInput(bool enabled) override { nativeInput.push_back(enabled); }
    void PostFlush() override { ++flushesPosted; }
    std::u16string ClipboardText() const override { return clipboard; }
    TRect ViewRect() const override { return view; }
    void MoveTo(const TRect& rect) override { moves.push_back(rect); }

    uint64_t handle = 0x1A2B;
    int focused = 0, activated = 0, flushesPosted = 0;
    std::vector<TRect> carets, moves;
    std::vector<bool> nativeInput;
    std::u16string clipboard;
    TRect view{0, 0, 1024, 768};
};

// Hands out one window at a time and remembers the last one it made.
struct FakeImeWindows : IImeWindowFactory {
    std::unique_ptr<IImeWindowView> CreateImeWindow(IImeWindowEvents& e, bool s) override {
        ++made;
        events = &e;
        seamless = s;
        auto view = std::make_unique<FakeImeWindowView>();
        last = view.get();
        return view;
    }
    int made = 0;
    bool seamless = false;
    IImeWindowEvents* events = nullptr;
    FakeImeWindowView* last = nullptr;
};

}  // namespace kiv::test
