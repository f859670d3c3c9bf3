// Any series of events of the input-method window and of caret messages of the
// server. Each record is a kind byte and a length byte, then that many bytes
// (fewer at the end of the input): a shell message payload (SHELL_CARET among
// them) with the padding and len of the channel layer, committed UTF-16 text,
// a key, a flush, a caret straight from the sink, the view's centring. What goes
// out must be whole shell messages on CSML.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzDesktop.h"
#include "channels/ChannelPayload.h"
#include "channels/ImeWindow.h"

namespace {

using namespace kiv;

struct Host : IChannelHost {
    void OnChannelSendData(const std::string& channel, const TBytes& data) override {
        if (channel != "CSML" || data.size() < 21) __builtin_trap();
    }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
};

struct View : IImeWindowView {
    uint64_t Handle() const override { return 0x2a; }
    void TakeFocus() override {}
    void Activate() override {}
    void SetCaretRect(const TRect& caret) override { last = caret; }
    void SetNativeInput(bool enabled) override { native = enabled; }
    void PostFlush() override { ++flushes; }
    std::u16string ClipboardText() const override { return u"clip"; }
    TRect ViewRect() const override { return TRect{0, 0, 1024, 768}; }
    void MoveTo(const TRect& rect) override { last = rect; }
    TRect last{};
    bool native = true;
    int flushes = 0;
};

struct Factory : IImeWindowFactory {
    std::unique_ptr<IImeWindowView> CreateImeWindow(IImeWindowEvents&, bool) override {
        return std::make_unique<View>();
    }
};

int32_t I32(const uint8_t* p, size_t n, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= uint32_t(at + i < n ? p[at + i] : 0) << (8 * i);
    return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Host host;
    fuzz::FixedDesktop desktop;
    TReconnectPolicy policy;
    TMsgShell shell(host, desktop, nullptr, policy, TShellContext{});
    TKIVFile record;
    record.CodeConversion = data[0] % 4;
    Factory factory;
    TImeWindow ime(shell, record, &factory, (data[0] & 4) != 0);
    shell.SetCaretSink(&ime);
    size_t at = 1;
    while (at + 2 <= size) {
        const uint8_t kind = data[at];
        size_t length = data[at + 1];
        at += 2;
        if (length > size - at) length = size - at;
        const uint8_t* body = data + at;
        at += length;
        switch (kind % 6) {
            case 0: {
                const TReceivedMessage received = UnwrapReceived(TBytes(body, body + length));
                shell.OnRecvbuffer(received.buffer.data(), received.len);
                break;
            }
            case 1: {
                std::u16string text;
                for (size_t i = 0; i + 1 < length; i += 2) text += char16_t(body[i] | (body[i + 1] << 8));
                ime.OnCommit(text);
                break;
            }
            case 2: {
                TImeKey key;
                key.press = length > 0 && (body[0] & 1);
                key.altKey = length > 0 && (body[0] & 2);
                key.fromKeyboard = length > 0 && (body[0] & 4);
                key.character = static_cast<char32_t>(static_cast<uint32_t>(I32(body, length, 1)) % 0x110000);
                key.code = static_cast<uint32_t>(I32(body, length, 5));
                ime.OnKey(key);
                break;
            }
            case 3:
                ime.OnComposing(length % 2 == 1);
                ime.OnFlush();
                break;
            case 4:
                ime.SetCaret(TRect{I32(body, length, 0), I32(body, length, 4), I32(body, length, 8),
                                   I32(body, length, 12)},
                             static_cast<uint32_t>(I32(body, length, 16)));
                break;
            default:
                // The sizes come from the view on the screen, never from the server: a screen's range.
                ime.ViewWidth = I32(body, length, 0) % 32768;
                ime.ViewHeight = I32(body, length, 4) % 32768;
                ime.CenterOnView();
                ime.SetCompositionPos(I32(body, length, 8), I32(body, length, 12));
                ime.Activate();
                break;
        }
    }
    return 0;
}
