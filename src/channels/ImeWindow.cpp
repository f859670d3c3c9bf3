#include "channels/ImeWindow.h"

#include <algorithm>
#include <cstdio>

#include "channels/ShellMessages.h"
#include "infra/CodeConversion.h"
#include "infra/DebugLog.h"

namespace kiv {

namespace {

constexpr char32_t kPaste = 0x16;  // Ctrl+V as the input method types it

}  // namespace

bool ImeWindowWanted(const TKIVFile& record) { return record.AppTypeMode != 1 && record.UseServerIME != 1; }

TRect CenterOver(const TRect& view, int32_t width, int32_t height) {
    return TRect{std::max(0, view.x + (view.width - width) / 2), std::max(0, view.y + (view.height - height) / 2),
                 width, height};
}

TImeWindow::TImeWindow(TMsgShell& shell, const TKIVFile& record, IImeWindowFactory* factory, bool seamless)
    : shell_(shell), record_(record) {
    if (factory != nullptr) view_ = factory->CreateImeWindow(*this, seamless);
    if (view_) {
        const TRect view = view_->ViewRect();
        ViewWidth = view.width;
        ViewHeight = view.height;
        view_->TakeFocus();
    }
}

TImeWindow::~TImeWindow() = default;

bool TImeWindow::OnKey(const TImeKey& key) {
    if (key.altKey) {
        // Only while Alt is held does a taskbar window's deactivation mean a task switch.
        if (key.press && !AltTab && DebugSwitches[dmMain]) WriteLog("alt_tab Start......");
        AltTab = key.press;
    }
    if (DebugSwitches[dmShell]) {
        char line[96];
        std::snprintf(line, sizeof line, "msg=%x wparam=%x lparam=%x", key.press ? 0x100u : 0x101u,
                      static_cast<unsigned>(key.character), key.fromKeyboard ? 0u : 1u);
        WriteLog(line);
    }
    if (!key.press) {
        // The release of a key whose press the input method took goes with it.
        if (key.code != 0 && keysAtView_.erase(key.code) == 0) return true;
        return false;
    }
    // Keys of the keyboard go to the session as keys; only what the input method
    // types, or what comes while it composes, is text.
    if (key.character == 0 || (key.fromKeyboard && !ImeProcessing)) {
        if (key.code != 0) keysAtView_.insert(key.code);
        return false;
    }
    OnCharacter(key.character);
    return true;
}

void TImeWindow::OnCharacter(char32_t character) {
    if (character == kPaste) {
        SendText(view_ ? view_->ClipboardText() : std::u16string());
        return;
    }
    if (character >= 0x80) {
        std::u16string text;
        if (character >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((character - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((character - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(character);
        }
        SendText(text);
        return;
    }
    PendingText += static_cast<char>(character);
    ++PendingCount;
    if (view_) view_->PostFlush();
    else OnFlush();
}

void TImeWindow::OnCommit(const std::u16string& text) { SendText(text); }

void TImeWindow::OnFlush() {
    if (PendingCount <= 0) return;
    const std::string pending = PendingText;
    PendingCount = 0;
    PendingText.clear();
    SendBytes(ConvertText(pending, record_.CodeConversion));
}

void TImeWindow::SendText(const std::u16string& text) {
    if (text.empty()) return;
    // What was typed before goes first.
    OnFlush();
    // The text in the code page the conversion reads, then converted.
    const int32_t mode = record_.CodeConversion;
    SendBytes(ConvertText(WideToCodePage(text, SourceCodePageOf(mode)), mode));
}

void TImeWindow::SendBytes(const std::string& bytes) {
    if (bytes.empty()) return;
    shell_.SendShellText("", bytes, SHELL_IME_TEXT);
}

void TImeWindow::SetCaret(const TRect& caret, uint32_t flags) {
    if (!ImeWindowWanted(record_)) return;
    CaretRect = caret;
    PasswordField = (flags & kCaretPasswordField) != 0;
    if (view_) view_->SetCaretRect(caret);
    SetCompositionPos(caret.x, caret.y);
}

void TImeWindow::SetCompositionPos(int32_t, int32_t) {
    if (!view_) return;
    if (PasswordField) {
        if (!ConversionSaved) {
            ConversionSaved = true;
            view_->SetNativeInput(false);
        }
    } else if (ConversionSaved) {
        ConversionSaved = false;
        view_->SetNativeInput(true);
    }
}

void TImeWindow::CenterOnView() {
    if (!view_) return;
    view_->MoveTo(CenterOver(view_->ViewRect(), ViewWidth, ViewHeight));
    view_->TakeFocus();
}

void TImeWindow::Activate() {
    if (view_) view_->Activate();
}

void TImeWindow::TakeFocus() {
    if (view_) view_->TakeFocus();
}

}  // namespace kiv
