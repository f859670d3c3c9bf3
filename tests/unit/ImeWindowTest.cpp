// The input-method window's logic: what becomes SHELL_IME_TEXT, and the caret.
#include "channels/ImeWindow.h"

#include <gtest/gtest.h>

#include "channels/ByteOrder.h"
#include "support/ImeFakes.h"
#include "support/SessionFakes.h"

namespace kiv {
namespace {

struct Host : IChannelHost {
    void OnChannelSendData(const std::string&, const TBytes& data) override { sent.push_back(data); }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
    std::vector<TBytes> sent;
};

struct TImeText {
    int32_t value;
    std::string text;
};

class ImeWindow : public ::testing::Test {
protected:
    TImeWindow& Make() {
        ime = std::make_unique<TImeWindow>(shell, record, &windows, true);
        view = windows.last;
        return *ime;
    }
    // The SHELL_IME_TEXT messages sent so far.
    std::vector<TImeText> Texts() const {
        std::vector<TImeText> texts;
        for (const TBytes& m : host.sent) {
            EXPECT_EQ(ReadU16(&m[kShellTypeOffset]), SHELL_IME_TEXT);
            EXPECT_EQ(m[kShellNameOffset], 0);  // no name
            const int32_t value = ReadI32(&m[kShellValueOffset]);
            texts.push_back({value, std::string(reinterpret_cast<const char*>(&m[kShellTextOffset]), value)});
        }
        return texts;
    }
    static TImeKey Typed(char32_t c, bool fromKeyboard = false) { return TImeKey{true, false, fromKeyboard, c}; }

    Host host;
    test::FakeDesktop desktop;
    TReconnectPolicy policy;
    TMsgShell shell{host, desktop, nullptr, policy, TShellContext{3}};
    TKIVFile record;
    test::FakeImeWindows windows;
    test::FakeImeWindowView* view = nullptr;
    std::unique_ptr<TImeWindow> ime;
};

TEST_F(ImeWindow, CommittedTextTravelsInTheConvertedCodePage) {
    const struct {
        int32_t mode;
        std::u16string commit;
        std::string bytes;
    } cases[] = {
        {0, u"中文", "\xD6\xD0\xCE\xC4"},
        {1, u"中文", "\xA4\xA4\xA4\xE5"},
        {1, u"发", "\xB5\x6F"},       // simplified typed, traditional sent
        {2, u"發", "\xB7\xA2"},       // traditional typed, simplified sent
        {3, u"發", "\xB0\x6C"},
        {9, u"ok", "ok"},
    };
    for (const auto& c : cases) {
        host.sent.clear();
        record.CodeConversion = c.mode;
        Make().OnCommit(c.commit);
        const auto texts = Texts();
        ASSERT_EQ(texts.size(), 1u) << c.mode;
        EXPECT_EQ(texts[0].text, c.bytes) << c.mode;
        EXPECT_EQ(texts[0].value, static_cast<int32_t>(c.bytes.size()));
    }
    host.sent.clear();
    ime->OnCommit(u"");
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(ImeWindow, SingleByteCharactersGoTogetherAtTheFlush) {
    Make();
    for (char32_t c : {U'a', U'b', U'c'}) EXPECT_TRUE(ime->OnKey(Typed(c)));
    EXPECT_EQ(view->flushesPosted, 3);
    EXPECT_TRUE(host.sent.empty());
    for (int i = 0; i < 3; ++i) ime->OnFlush();
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].value, 3);
    EXPECT_EQ(texts[0].text, "abc");
    EXPECT_EQ(ime->PendingCount, 0);
}

TEST_F(ImeWindow, WhatTheKeyboardTypesGoesToTheViewUnlessTheInputMethodComposes) {
    Make();
    EXPECT_FALSE(ime->OnKey(Typed(U'a', true)));
    EXPECT_FALSE(ime->OnKey(TImeKey{true, false, true, 0}));   // a key without a character
    EXPECT_FALSE(ime->OnKey(TImeKey{false, false, false, U'a'}));  // a release
    ime->OnComposing(true);
    EXPECT_TRUE(ime->OnKey(Typed(U'x', true)));
    EXPECT_EQ(ime->PendingText, "x");
}

TEST_F(ImeWindow, AKeyReleaseFollowsItsPress) {
    Make();
    const auto key = [](bool press, uint32_t code) { return TImeKey{press, false, true, U'z', code}; };
    EXPECT_FALSE(ime->OnKey(key(true, 52)));   // to the view
    EXPECT_FALSE(ime->OnKey(key(false, 52)));  // and its release too
    // The input method took the press of this key (the window never saw it): its release stays here.
    EXPECT_TRUE(ime->OnKey(key(false, 43)));
    EXPECT_FALSE(ime->OnKey(key(false, 0)));  // a release without a code cannot be paired: the view decides
}

TEST_F(ImeWindow, DoubleByteCharactersAndPastesGoAtOnceAfterWhatWasTyped) {
    Make();
    view->clipboard = u"粘贴";
    ime->OnKey(Typed(U'a'));
    ime->OnKey(Typed(U'中'));
    ime->OnKey(Typed(0x16));
    ime->OnFlush();
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text, "a");
    EXPECT_EQ(texts[1].text, "\xD6\xD0");
    EXPECT_EQ(texts[2].text, "\xD5\xB3\xCC\xF9");
}

TEST_F(ImeWindow, PasswordCaretTurnsTheInputMethodOffUntilTheCaretLeaves) {
    Make();
    ime->SetCaret(TRect{100, 200, 2, 16}, 0);
    EXPECT_TRUE(view->nativeInput.empty());  // nothing to restore
    ime->SetCaret(TRect{100, 240, 2, 16}, kCaretPasswordField);
    ime->SetCaret(TRect{110, 240, 2, 16}, kCaretPasswordField | 0x1);
    EXPECT_TRUE(ime->PasswordField);
    EXPECT_EQ(view->nativeInput, std::vector<bool>{false});  // once
    ime->SetCaret(TRect{100, 280, 2, 16}, 0x1);
    EXPECT_FALSE(ime->PasswordField);
    EXPECT_EQ(view->nativeInput, (std::vector<bool>{false, true}));
    ASSERT_EQ(view->carets.size(), 4u);
    EXPECT_EQ(view->carets.back().y, 280);
}

TEST_F(ImeWindow, ServerInputMethodSessionsIgnoreTheCaret) {
    record.UseServerIME = 1;
    Make().SetCaret(TRect{1, 2, 3, 4}, kCaretPasswordField);
    EXPECT_TRUE(view->carets.empty());
    EXPECT_TRUE(view->nativeInput.empty());
    EXPECT_FALSE(ImeWindowWanted(record));
    record.UseServerIME = 0;
    record.AppTypeMode = 1;
    EXPECT_FALSE(ImeWindowWanted(record));
}

TEST(ImeWindowPlacement, CentredOverTheViewNeverOffItsTopLeft) {
    const auto text = [](const TRect& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" + std::to_string(r.height);
    };
    EXPECT_EQ(text(CenterOver(TRect{100, 50, 1200, 900}, 1000, 700)), "200,150 1000x700");
    EXPECT_EQ(text(CenterOver(TRect{0, 0, 800, 600}, 1000, 700)), "0,0 1000x700");
}

}  // namespace
}  // namespace kiv
