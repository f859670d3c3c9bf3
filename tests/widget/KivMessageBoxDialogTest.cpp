#include "platform/qt/KivMessageBoxDialog.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <functional>
#include <string>
#include <vector>

#include "launch/CredentialCodec.h"
#include "platform/qt/HeaderPanel.h"
#include "session/KivMessageBox.h"
#include "widget/DialogTestSupport.h"

namespace kiv {
namespace {

using test::FindVisibleTopLevel;
using test::ScopedShippedLanguage;
using test::ScopedUserFolder;

template <typename T>
T* Part(QWidget& box, const char* name) {
    T* part = box.findChild<T*>(name);
    EXPECT_NE(part, nullptr) << name;
    return part;
}

std::vector<std::string> Utf8Lines(const QString& text) {
    std::vector<std::string> lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
}

// What the open box showed, read while it was modal.
struct TSeenBox {
    bool found = false;
    QString windowTitle;
    QString headerCaption;
    std::vector<std::string> detailLines;
    bool stayOnTop = false;
    bool tool = false;
    bool hasParent = true;
    bool modal = false;
    QPoint centreOffset;
};

// Answers the box the way a user would, once its nested loop runs; a box that
// never shows is closed after a while so the test fails instead of hanging.
TMessageBoxResult ShowAndAnswer(const std::function<TMessageBoxResult()>& show,
                                const std::function<void(TKivMessageBoxWindow&)>& answer, TSeenBox* seen) {
    QTimer::singleShot(0, [&] {
        auto* box = FindVisibleTopLevel<TKivMessageBoxWindow>(TKivMessageBoxWindow::kObjectName);
        if (!box) return;
        seen->found = true;
        seen->windowTitle = box->windowTitle();
        seen->headerCaption = box->Header()->Caption();
        seen->detailLines = Utf8Lines(box->findChild<QPlainTextEdit*>("mmoDetail")->toPlainText());
        seen->stayOnTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
        seen->tool = (box->windowFlags() & Qt::WindowType_Mask) == Qt::Tool;
        seen->hasParent = box->parentWidget() != nullptr;
        seen->modal = box->isModal() && QApplication::activeModalWidget() == box;
        seen->centreOffset = box->geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
        answer(*box);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(10000);
    return show();
}

void ClickOk(TKivMessageBoxWindow& box) { box.findChild<QPushButton*>("btnOK")->click(); }
void ClickClose(TKivMessageBoxWindow& box) { box.findChild<QToolButton*>("btnClose")->click(); }

TClientFacts Client() { return {"DESK-17", "192.168.7.20,10.0.0.5", "6F1C2A"}; }

TKIVFile Record() {
    TKIVFile record;
    record.AppID = "APP0042";
    record.AppName = "Ledger";
    record.ServerAddress = "10.1.2.3";
    record.LoginUser = "clerk";
    record.LoginPassWord = "0A1B";
    record.LoginDomain = std::string(60, 'd');
    record.UserName = TextToHex("alice");
    return record;
}

class KivMessageBoxDialogTest : public ::testing::Test {
protected:
    ScopedUserFolder user_{"0"};
    ScopedShippedLanguage language_{2052};
    TKivMessageBoxDialog view_;
};

TEST_F(KivMessageBoxDialogTest, DetailsWithoutRecordAreTheTextAndTheClientInSixLines) {
    TSeenBox seen;
    const TMessageBoxResult result = ShowAndAnswer(
        [&] { return ShowKivMessageBox(view_, "连接已断开。", "错误", nullptr, 2, Client()); }, ClickOk, &seen);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(result, TMessageBoxResult::Ok);
    EXPECT_EQ(seen.detailLines, (std::vector<std::string>{"连接已断开。", "", "[Client]", "Computer=DESK-17",
                                                          "IP=192.168.7.20,10.0.0.5", "FP=6F1C2A"}));
    EXPECT_EQ(seen.windowTitle, QString::fromUtf8("错误"));
    EXPECT_EQ(seen.headerCaption, QString::fromUtf8("错误"));
}

TEST_F(KivMessageBoxDialogTest, DetailsWithRecordListApplicationServerAndClient) {
    const TKIVFile record = Record();
    TSeenBox seen;
    ShowAndAnswer([&] { return ShowKivMessageBox(view_, "Failed.", "Error", &record, 2, Client()); }, ClickOk, &seen);
    ASSERT_TRUE(seen.found);
    const std::string domainLine = "Domain=" + std::string(57 - 7, 'd');
    EXPECT_EQ(seen.detailLines,
              (std::vector<std::string>{"Failed.", "", "[Application]", "AppID=APP0042", "AppName=Ledger", "[Server]",
                                        "IP=10.1.2.3", "UserName=clerk", "PassWord=********", domainLine, "[Client]",
                                        "User=alice", "Computer=DESK-17", "IP=192.168.7.20,10.0.0.5", "FP=6F1C2A"}));
}

TEST_F(KivMessageBoxDialogTest, EmptyCaptionReachesTheWindowAsKivClient) {
    TSeenBox seen;
    ShowAndAnswer([&] { return ShowKivMessageBox(view_, "text", "", nullptr, 0, Client()); }, ClickOk, &seen);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.windowTitle, QString("Kiv Client"));
    EXPECT_EQ(seen.headerCaption, QString("Kiv Client"));
}

TEST_F(KivMessageBoxDialogTest, OkAnswersOkAndCloseGlyphOrEscapeAnswerCancel) {
    TMessageBoxContent content{"Kiv Client", "text", 0, {"text"}};
    TSeenBox seen;
    EXPECT_EQ(ShowAndAnswer([&] { return view_.Show(content); }, ClickOk, &seen), TMessageBoxResult::Ok);
    ASSERT_TRUE(seen.found);
    // A window of its own: no parent, above the session, modal, in the middle of the screen.
    EXPECT_FALSE(seen.hasParent);
    EXPECT_TRUE(seen.stayOnTop);
    EXPECT_FALSE(seen.tool);
    EXPECT_TRUE(seen.modal);
    EXPECT_LE(seen.centreOffset.manhattanLength(), 2);

    seen = {};
    EXPECT_EQ(ShowAndAnswer([&] { return view_.Show(content); }, ClickClose, &seen), TMessageBoxResult::Cancel);
    ASSERT_TRUE(seen.found);

    seen = {};
    auto escape = [](TKivMessageBoxWindow& box) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&box, &key);
    };
    EXPECT_EQ(ShowAndAnswer([&] { return view_.Show(content); }, escape, &seen), TMessageBoxResult::Cancel);
    ASSERT_TRUE(seen.found);
}

TEST_F(KivMessageBoxDialogTest, DetailsLinkOpensAndClosesThePaneByItsHeight) {
    TKivMessageBoxWindow box;
    const std::string text = "服务器没有响应，请检查网络连接。";
    box.Fill({"提示", text, 2, BuildMessageDetails(text, nullptr, Client())});
    box.show();
    auto* link = Part<QLabel>(box, "lnkShowDetailed");
    auto* pane = Part<QPlainTextEdit>(box, "mmoDetail");
    EXPECT_EQ(box.size(), QSize(432, 324 - 152));
    EXPECT_EQ(link->text(), QString::fromUtf8("详细信息>>>"));
    EXPECT_FALSE(pane->isVisible());
    test::SaveScreenshot(box, "message-box-collapsed-zh-CN");

    test::Click(link, QPoint(5, 5));
    EXPECT_EQ(box.size(), QSize(432, 324));
    EXPECT_EQ(link->text(), QString::fromUtf8("<<<详细信息"));
    EXPECT_TRUE(pane->isVisible());
    EXPECT_TRUE(pane->isReadOnly());
    // Bottom-aligned under the links, within the window.
    EXPECT_EQ(pane->size(), QSize(413, 152));
    EXPECT_GT(pane->y(), link->geometry().bottom());
    EXPECT_LE(pane->geometry().bottom(), 324 - 1);
    test::SaveScreenshot(box, "message-box-details-zh-CN");

    test::Click(link, QPoint(5, 5));
    EXPECT_EQ(box.size(), QSize(432, 324 - 152));
    EXPECT_EQ(link->text(), QString::fromUtf8("详细信息>>>"));
    EXPECT_FALSE(pane->isVisible());
}

TEST_F(KivMessageBoxDialogTest, IconThreeHidesTheGlyphAndWidensTheTextFromTheGlyphsEdge) {
    TKivMessageBoxWindow box;
    box.Fill({"Kiv Client", "会话已被服务器注销。", 3, {}});
    box.show();
    auto* glyph = Part<QLabel>(box, "gphMsg");
    auto* text = Part<QLabel>(box, "lblText");
    EXPECT_FALSE(glyph->isVisible());
    EXPECT_EQ(text->geometry(), QRect(16, 40, 400, 57));
    EXPECT_TRUE(text->wordWrap());
    test::SaveScreenshot(box, "message-box-no-icon-zh-CN");

    TKivMessageBoxWindow error;
    error.Fill({"Kiv Client", "text", 2, {}});
    error.show();
    EXPECT_TRUE(Part<QLabel>(error, "gphMsg")->isVisible());
    EXPECT_FALSE(Part<QLabel>(error, "gphMsg")->pixmap().isNull());
    EXPECT_EQ(Part<QLabel>(error, "lblText")->geometry(), QRect(64, 40, 353, 57));

    // An index past the icon list shows an empty glyph; the text keeps its place.
    TKivMessageBoxWindow unknown;
    unknown.Fill({"Kiv Client", "text", 200, {}});
    EXPECT_TRUE(Part<QLabel>(unknown, "gphMsg")->pixmap().isNull());
    EXPECT_EQ(Part<QLabel>(unknown, "lblText")->x(), 64);
}

TEST_F(KivMessageBoxDialogTest, CaptionsAndFontComeFromTheLanguageFile) {
    TKivMessageBoxWindow box;
    EXPECT_EQ(Part<QPushButton>(box, "btnOK")->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(Part<QLabel>(box, "lnkOnlineHelp")->text(), QString::fromUtf8("在线帮助"));
    EXPECT_EQ(box.OnlineURL(), QString("https://example.com/help/"));
    for (const char* name : {"lblText", "btnOK", "lnkShowDetailed", "lnkOnlineHelp", "mmoDetail"}) {
        QWidget* part = Part<QWidget>(box, name);
        EXPECT_EQ(part->font().family(), QString("Noto Sans CJK SC")) << name;
        EXPECT_EQ(part->font().pointSize(), 9) << name;
        EXPECT_EQ(part->accessibleName(), QString(name));
    }
    EXPECT_TRUE(Part<QLabel>(box, "lnkOnlineHelp")->font().underline());
    EXPECT_TRUE(Part<QPushButton>(box, "btnOK")->isDefault());
}

// Receives what the box hands to the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

TEST_F(KivMessageBoxDialogTest, OnlineHelpOpensTheAddressOfTheLanguageFileAndNothingWithoutOne) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    {
        TKivMessageBoxWindow box;
        box.show();
        auto* link = Part<QLabel>(box, "lnkOnlineHelp");
        test::Click(link, QPoint(3, 3));
        ASSERT_EQ(catcher.opened.size(), 1u);
        EXPECT_EQ(catcher.opened[0], QUrl("https://example.com/help/"));
    }
    {
        test::ScopedLanguageFile bare("[TEXT]\nKivMsg_Ok=OK\n");
        TKivMessageBoxWindow box;
        box.show();
        EXPECT_TRUE(box.OnlineURL().isEmpty());
        EXPECT_EQ(Part<QLabel>(box, "lnkShowDetailed")->text(), QString(">>>"));
        box.OpenOnlineHelp();
        EXPECT_EQ(catcher.opened.size(), 1u);
    }
    QDesktopServices::unsetUrlHandler("https");
}

TEST(KivMessageBoxDialogLookTest, EnglishErrorAndNoticeForTheEye) {
    ScopedUserFolder user("1");
    ScopedShippedLanguage language(1033);
    const TKIVFile record = Record();
    TKivMessageBoxWindow box;
    box.Fill({"Error",
              "The connection to the remote computer was closed. Please check the network and open the "
              "application again.",
              2, BuildMessageDetails("The connection to the remote computer was closed.", &record, Client())});
    box.show();
    EXPECT_EQ(box.Header()->Scheme(), THeaderScheme::Blue);
    box.ToggleDetails();
    test::SaveScreenshot(box, "message-box-details-en-US");

    TKivMessageBoxWindow notice;
    notice.Fill({"Kiv Client", "The remote session was logged off by the server.", 0, {}});
    notice.show();
    test::SaveScreenshot(notice, "message-box-notice-en-US");
    EXPECT_EQ(notice.findChild<QPushButton*>("btnOK")->text(), QString("OK"));
}

}  // namespace
}  // namespace kiv

#include "KivMessageBoxDialogTest.moc"
