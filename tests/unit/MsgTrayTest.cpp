// The tray handler: the server's icon messages become local tray icons (one
// per icon as the server's matching rules see it), and every button pressed
// or released on a local icon goes back as a 25-byte mouse message.
#include <gtest/gtest.h>

#include <map>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "desktop/MsgTray.h"
#include "desktop/TrayTooltip.h"
#include "session/ClientForm.h"
#include "session/RecordingControl.h"
#include "support/ClientFormFakes.h"
#include "support/ManualClock.h"
#include "support/SessionFakes.h"
#include "support/TrayFakes.h"
#include "unit/MsgSmlFakes.h"

namespace kiv {
namespace {

using test::FakeTrayIcons;

// Reads an "icon file" as one 1x1 image whose pixel is the file's first four
// bytes; a file starting with 0xFF is unreadable.
struct FakeDecoder : ITrayIconDecoder {
    std::vector<TIconImage> DecodeIconFile(std::span<const uint8_t> bytes) const override {
        if (bytes.size() < 4 || bytes[0] == 0xFF) return {};
        return {TIconImage{1, 1, {ReadU32(bytes.data())}}};
    }
};

TBytes Image(uint32_t pixel) {
    TBytes bytes(8, 0);
    WriteU32(bytes.data(), pixel);
    return bytes;
}

// An icon message as the server shell sends it.
TBytes TrayMsg(int32_t window, uint8_t operation, int32_t id, uint16_t callback, const std::string& tip = "tip",
               const TBytes& icon = {}) {
    TBytes m(kTrayHeaderSize + icon.size(), 0);
    m[0] = 0x03;
    m[1] = 0xEF;
    m[2] = 0x01;
    WriteI32(&m[3], window);
    m[7] = operation;
    WriteI32(&m[8], id);
    WriteU16(&m[12], callback);
    std::copy(tip.begin(), tip.begin() + std::min<std::size_t>(tip.size(), 64), m.begin() + 16);
    WriteU16(&m[80], static_cast<uint16_t>(icon.size()));
    std::copy(icon.begin(), icon.end(), m.begin() + kTrayHeaderSize);
    return m;
}

class MsgTrayTest : public ::testing::Test {
protected:
    // Through the channel layer's padding and len rule, as the router hands it over.
    void Deliver(const TBytes& message) {
        const TReceivedMessage received = UnwrapReceived(message);
        tray.OnRecvbuffer(received.buffer.data(), received.len);
    }
    const TTrayIconEntry& Entry(int index) { return *tray.IconList.Get(index); }
    std::vector<TBytes> Sent() const {
        std::vector<TBytes> sent;
        for (const auto& [channel, bytes] : host.sent) {
            EXPECT_EQ(channel, "CSML");
            sent.push_back(bytes);
        }
        return sent;
    }

    test::RecordingHost host;
    FakeTrayIcons icons;
    FakeDecoder decoder;
    TMsgTray tray{host, TTrayPorts{&icons, &decoder}};
};

TEST_F(MsgTrayTest, AnIconAddedWithoutAnImageShowsFromTheModifyThatBringsOne) {
    Deliver(TrayMsg(0x500, kTrayAdd, 1, 0x401, "Mail"));
    ASSERT_EQ(tray.IconList.Count(), 1);
    const TTrayIconKey key = Entry(0).Icon;
    EXPECT_TRUE(icons.icons.at(key).images.empty());
    EXPECT_EQ(icons.icons.at(key).tooltip, "Mail");

    Deliver(TrayMsg(0x500, kTrayModify, 1, 0x401, "Mail (2)", Image(0xFF112233)));
    ASSERT_EQ(tray.IconList.Count(), 1);
    EXPECT_EQ(icons.icons.size(), 1u);
    EXPECT_EQ(icons.Shown(key), 0xFF112233u);
    EXPECT_EQ(icons.icons.at(key).tooltip, "Mail (2)");
}

TEST_F(MsgTrayTest, SmallIdsOfOneWindowShareOneIconThatTakesTheLatestImageAndTip) {
    Deliver(TrayMsg(0x500, kTrayAdd, 1, 0x401, "one", Image(0xFF000001)));
    Deliver(TrayMsg(0x500, kTrayAdd, 2, 0x402, "two", Image(0xFF000002)));
    ASSERT_EQ(tray.IconList.Count(), 1);
    EXPECT_EQ(Entry(0).IconId, 1);  // the entry keeps what it was made with
    EXPECT_EQ(Entry(0).CallbackMessage, 0x401);
    EXPECT_EQ(icons.Shown(Entry(0).Icon), 0xFF000002u);
    EXPECT_EQ(icons.icons.at(Entry(0).Icon).tooltip, "two");
    // Another window's id 1 is another icon.
    Deliver(TrayMsg(0x600, kTrayAdd, 1, 0x401, "other", Image(0xFF000003)));
    EXPECT_EQ(tray.IconList.Count(), 2);
}

TEST_F(MsgTrayTest, LargeIdsStayApartAndACallbackOfZeroUpdatesTheFirstOfTheWindow) {
    Deliver(TrayMsg(0x500, kTrayAdd, 5000, 0x8001, "a", Image(0xFF00000A)));
    Deliver(TrayMsg(0x500, kTrayAdd, 6000, 0x8002, "b", Image(0xFF00000B)));
    ASSERT_EQ(tray.IconList.Count(), 2);
    Deliver(TrayMsg(0x500, kTrayModify, 7000, 0, "c", Image(0xFF00000C)));
    ASSERT_EQ(tray.IconList.Count(), 2);
    EXPECT_EQ(icons.Shown(Entry(0).Icon), 0xFF00000Cu);
    EXPECT_EQ(icons.Shown(Entry(1).Icon), 0xFF00000Bu);
    // A large id with a callback message nobody has: a new icon.
    Deliver(TrayMsg(0x500, kTrayModify, 7000, 0x8003, "d", Image(0xFF00000D)));
    EXPECT_EQ(tray.IconList.Count(), 3);
}

TEST_F(MsgTrayTest, ADeleteWithASmallIdRemovesTheWindowsIcon) {
    Deliver(TrayMsg(0x500, kTrayAdd, 9, 0x401, "nine", Image(0xFF000009)));
    Deliver(TrayMsg(0x600, kTrayAdd, 9, 0x401, "other", Image(0xFF000009)));
    Deliver(TrayMsg(0x500, kTrayDelete, 3, 0x402));  // matched by neither id nor callback
    ASSERT_EQ(tray.IconList.Count(), 1);
    EXPECT_EQ(Entry(0).ServerWindow, 0x600);
    EXPECT_EQ(icons.icons.size(), 1u);  // the local icon went with its entry
}

TEST_F(MsgTrayTest, ATipOfSixtyFourBytesIsReadWholeAndTheTooltipShowsSixtyThree) {
    const TBytes message = TrayMsg(0x500, kTrayAdd, 1, 0x401, std::string(64, 'A'), Image(0xFF000001));
    EXPECT_EQ(ReadTrayHeader(message.data()).Tip, std::string(64, 'A'));
    EXPECT_EQ(ReadTrayHeader(message.data()).IconSize, 8);
    Deliver(message);
    EXPECT_EQ(icons.icons.at(Entry(0).Icon).tooltip, std::string(63, 'A'));
}

TEST(TrayTooltip, IsTheHintBeforeTheFirstBarCutToSixtyThreeCharacters) {
    const std::string euro = "\xE2\x82\xAC";  // one character, three bytes
    std::string euros;
    for (int i = 0; i < 64; ++i) euros += euro;
    const struct {
        std::string hint, tooltip;
    } cases[] = {
        {"Mail|3 unread", "Mail"},
        {"|hidden", ""},
        {std::string(63, 'x'), std::string(63, 'x')},
        {std::string(70, 'x') + "|y", std::string(63, 'x')},
        {euros, euros.substr(0, 63 * 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(TrayTooltip(c.hint), c.tooltip) << c.hint;
}

TEST_F(MsgTrayTest, MessagesTooShortForTheirHeaderOrIconOrOfNoOperationChangeNothing) {
    Deliver(TrayMsg(0x500, kTrayAdd, 5000, 0x8001, "keep", Image(0xFF000001)));
    const TBytes icon = Image(0xFF000002);
    const TBytes whole = TrayMsg(0x500, kTrayAdd, 6000, 0x8002, "new", icon);
    const struct {
        const char* what;
        TBytes message;
        int32_t len;
    } cases[] = {
        {"85 bytes", whole, 85},
        {"the icon one byte short", whole, kTrayHeaderSize + static_cast<int32_t>(icon.size()) - 1},
        {"operation 3", TrayMsg(0x500, 3, 6000, 0x8002, "new", icon), static_cast<int32_t>(whole.size())},
        {"a delete of an icon nobody has", TrayMsg(0x500, kTrayDelete, 6000, 0x8002), kTrayHeaderSize},
    };
    for (const auto& c : cases) {
        // Exactly len bytes, so a read past them is a sanitizer's finding.
        const TBytes bytes(c.message.begin(), c.message.begin() + std::min<std::size_t>(c.len, c.message.size()));
        tray.OnRecvbuffer(bytes.data(), c.len);
        EXPECT_EQ(tray.IconList.Count(), 1) << c.what;
        EXPECT_EQ(icons.icons.at(Entry(0).Icon).tooltip, "keep") << c.what;
    }
    tray.OnRecvbuffer(whole.data(), static_cast<int32_t>(whole.size()));
    EXPECT_EQ(tray.IconList.Count(), 2);
}

TEST_F(MsgTrayTest, AnUnreadableIconIsLoggedUnderMainAndChangesNothing) {
    test::ScopedLog log({dmMain});
    Deliver(TrayMsg(0x500, kTrayAdd, 1, 0x401, "x", Image(0xFFFFFFFF)));
    EXPECT_EQ(tray.IconList.Count(), 0);
    EXPECT_TRUE(log.Has("[TMsgTray]Exception:the icon image can not be read")) << log.Text();
}

TEST_F(MsgTrayTest, AMouseMessageCarriesTheEntryAndTheCursorPackedXLowYHigh) {
    Deliver(TrayMsg(0x12345678, kTrayAdd, 5000, 0x8001, "x", Image(0xFF000001)));
    icons.sink->OnTrayButtonDown(Entry(0).Icon, TTrayButton::Left);
    ASSERT_EQ(Sent().size(), 1u);
    // 25 bytes in a 13-unit wide string: one zero byte more.
    const TBytes expected{0x03, 0xEF, 0x01, 0x78, 0x56, 0x34, 0x12, 0x88, 0x13, 0x00, 0x00, 0x00, 0x00,
                          0x01, 0x80, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 100,  0x00, 200,  0x00, 0x00};
    EXPECT_EQ(Sent()[0], expected);

    icons.cursor = {-3, 70000};  // each half keeps its own 16 bits
    TTrayMouseMsg message{};
    ASSERT_TRUE(tray.BuildMouseMessage(Entry(0).Icon, 0x9000, message, kTrayMiddleUp));
    EXPECT_EQ(ReadU32(&message[kTrayMouseCursorOffset]), 0xFFFDu | (uint32_t{70000 & 0xFFFF} << 16));
    EXPECT_EQ(ReadU32(&message[kTrayMouseCallbackOffset]), 0x9000u);
    EXPECT_FALSE(tray.BuildMouseMessage(999, 0, message, kTrayLeftDown)) << "not an icon of an entry";
    EXPECT_FALSE(tray.BuildMouseMessage(Entry(0).Icon, 0, message, 0));
}

TEST_F(MsgTrayTest, ARightDoubleClickReachesTheServerAsDownUpDownUp) {
    Deliver(TrayMsg(0x500, kTrayAdd, 5000, 0x8001, "a", Image(0xFF000001)));
    Deliver(TrayMsg(0x500, kTrayAdd, 6000, 0x8002, "b", Image(0xFF000002)));
    const TTrayIconKey second = Entry(1).Icon;
    // What the desktop's tray reports for two quick clicks of the right button.
    icons.sink->OnTrayButtonDown(second, TTrayButton::Right);
    icons.sink->OnTrayButtonUp(second, TTrayButton::Right);
    icons.sink->OnTrayButtonDown(second, TTrayButton::Right);
    icons.sink->OnTrayButtonUp(second, TTrayButton::Right);
    std::vector<uint32_t> messages;
    for (const TBytes& bytes : Sent()) {
        ASSERT_EQ(bytes.size(), 26u);
        EXPECT_EQ(ReadI32(&bytes[kTrayMouseWindowOffset]), 0x500);
        EXPECT_EQ(ReadI32(&bytes[kTrayMouseIconIdOffset]), 6000);
        EXPECT_EQ(ReadU32(&bytes[kTrayMouseCallbackOffset]), 0x8002u);
        messages.push_back(ReadU32(&bytes[kTrayMouseMessageOffset]));
    }
    EXPECT_EQ(messages, (std::vector<uint32_t>{0x204, 0x205, 0x204, 0x205}));
}

TEST_F(MsgTrayTest, AFailedSendRemovesTheFirstIconOfItsWindow) {
    Deliver(TrayMsg(0x500, kTrayAdd, 5000, 0x8001, "a", Image(0xFF000001)));
    Deliver(TrayMsg(0x500, kTrayAdd, 6000, 0x8002, "b", Image(0xFF000002)));
    Deliver(TrayMsg(0x600, kTrayAdd, 1, 0x401, "c", Image(0xFF000003)));
    host.failSend = true;
    TTrayMouseMsg message{};
    ASSERT_TRUE(tray.BuildMouseMessage(Entry(1).Icon, 0, message, kTrayLeftUp));
    EXPECT_EQ(tray.SendMouseMessage(message), -2);
    ASSERT_EQ(tray.IconList.Count(), 2);
    EXPECT_EQ(Entry(0).IconId, 6000);
    EXPECT_EQ(Entry(1).ServerWindow, 0x600);
    EXPECT_EQ(icons.icons.size(), 2u);
    host.failSend = false;
    EXPECT_EQ(tray.SendMouseMessage(message), 0);
}

// The tray handler inside the session window.
class TrayInSessionWindow : public ::testing::Test, protected test::ClientFormFakes {
protected:
    void Start(int32_t appTypeMode) {
        record.AppID = "APP0001";
        record.ServerHost = "srv";
        record.AppTypeMode = appTypeMode;
        TClientFormPorts ports = Ports(view);
        ports.trayIcons = &icons;
        ports.trayIconDecoder = &decoder;
        form = std::make_unique<TfrmClientForm>(ports, record, TClientFormSettings{{}, false, 0, 30000});
        form->SetUp({});
    }

    test::FakeWindowView view;
    FakeTrayIcons icons;
    FakeDecoder decoder;
    std::unique_ptr<TfrmClientForm> form;
};

TEST_F(TrayInSessionWindow, AnApplicationGetsTheTrayHandlerWhichTheShutdownFrees) {
    Start(2);
    ASSERT_NE(form->MsgTray(), nullptr);
    EXPECT_EQ(view.applicationIcon, "");
    for (const char* channel : {"CSML", "CSMP"})
        form->OnChannelReceivedData(channel, WrapForSending(TrayMsg(0x500, kTrayAdd, 5000, 0x8001, "a", Image(0xFF000001))));
    EXPECT_EQ(form->MsgTray()->IconList.Count(), 1);
    form->OnChannelReceivedData("CSML", WrapForSending(TrayMsg(0x500, kTrayAdd, 6000, 0x8002, "b", Image(0xFF000001))));
    EXPECT_EQ(icons.icons.size(), 2u);
    form->Shutdown();
    EXPECT_EQ(form->MsgTray(), nullptr);
    EXPECT_TRUE(icons.icons.empty()) << "every local icon leaves with the handler";
    EXPECT_EQ(icons.sink, nullptr);
}

TEST_F(TrayInSessionWindow, AWholeDesktopHasNoTrayHandlerAndCarriesTheDesktopIcon) {
    Start(1);
    EXPECT_EQ(form->MsgTray(), nullptr);
    EXPECT_EQ(view.applicationIcon, "DESK");
    form->OnChannelReceivedData("CSML", WrapForSending(TrayMsg(0x500, kTrayAdd, 1, 0x401, "a", Image(0xFF000001))));
    EXPECT_TRUE(icons.icons.empty());
}

}  // namespace
}  // namespace kiv
