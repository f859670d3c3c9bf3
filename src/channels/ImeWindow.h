#pragma once
// TImeWindow: the logic of the input-method window. Text that a local input
// method commits, and characters it types, go to the server shell as
// SHELL_IME_TEXT after the code-page conversion of CodeConversion; single-byte
// characters are gathered and sent together once the events queued with them
// are handled. The server's caret places the composition window, and a
// password field turns the local input method off until the caret leaves it.
// It also notes the Alt key for the task switch of the seamless taskbar windows.
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "channels/MsgShell.h"
#include "launch/KivFile.h"
#include "ports/ImeWindowView.h"

namespace kiv {

inline constexpr uint32_t kCaretPasswordField = 0x20;

// No input-method window in these sessions: the server's own input method is used.
bool ImeWindowWanted(const TKIVFile& record);

// Where a window of width x height goes centred over the view (never left or above it).
TRect CenterOver(const TRect& view, int32_t width, int32_t height);

class TImeWindow final : public IImeWindowEvents, public ICaretSink {
public:
    // Creates the window on the screen through the factory; without one (or
    // when it cannot be made) the logic still stands and Handle is 0.
    TImeWindow(TMsgShell& shell, const TKIVFile& record, IImeWindowFactory* factory, bool seamless);
    ~TImeWindow() override;

    uint64_t Handle() const { return view_ ? view_->Handle() : 0; }
    IImeWindowView* View() const { return view_.get(); }

    // IImeWindowEvents
    bool OnKey(const TImeKey& key) override;
    void OnComposing(bool composing) override { ImeProcessing = composing; }
    void OnCommit(const std::u16string& text) override;
    void OnFlush() override;  // IMEW_FLUSH

    // ICaretSink: SHELL_CARET.
    void SetCaret(const TRect& caret, uint32_t flags) override;
    void SetCompositionPos(int32_t x, int32_t y);
    void CenterOnView();  // IMEW_CENTER
    void Activate();      // IMEW_ACTIVATE
    void TakeFocus();

    std::string PendingText;  // single-byte characters typed and not yet sent
    int32_t PendingCount = 0;
    bool ImeProcessing = false;
    TRect CaretRect;
    bool PasswordField = false;
    bool AltTab = false;  // an Alt key went down; the seamless taskbar windows use it up
    bool ConversionSaved = false;
    int32_t ViewWidth = 0;
    int32_t ViewHeight = 0;

private:
    void OnCharacter(char32_t character);
    void SendText(const std::u16string& text);
    void SendBytes(const std::string& bytes);

    TMsgShell& shell_;
    const TKIVFile& record_;
    std::set<uint32_t> keysAtView_;  // pressed keys the view was given: their releases follow them
    std::unique_ptr<IImeWindowView> view_;  // last: it goes first, while the logic it reports to stands
};

}  // namespace kiv
