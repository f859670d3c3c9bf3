#include "platform/qt/QtCertificatePrompt.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>

#include "infra/LanguageStyle.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

using test::TempDir;

// What the box showed when the answer was given.
struct TShownBox {
    bool found = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Qt::TextFormat format = Qt::AutoText;
};

// Answers the prompt's box as a user would, by clicking one of its buttons.
TShownBox AnswerWith(const std::function<bool()>& ask, QMessageBox::StandardButton button, bool* answer) {
    TShownBox shown;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || box->objectName() != TQtCertificatePrompt::kBoxObjectName || !box->isVisible()) continue;
            shown.found = true;
            shown.caption = box->windowTitle();
            shown.text = box->text();
            shown.icon = box->icon();
            shown.defaultButton = box->standardButton(box->defaultButton());
            shown.format = box->textFormat();
            box->button(button)->click();
            return;
        }
    });
    // Should the box not be found, do not leave the test waiting for a human.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(10000);
    *answer = ask();
    return shown;
}

class QtCertificatePromptTest : public ::testing::Test {
protected:
    void UseLanguageFile(std::string_view text) {
        dir.Write("Resource.ini", "[LanguageStyle]\n1033=en\n[en]\nIniPath=Language\\en.ini\n");
        dir.Write("Language/en.ini", text);
        style = std::make_unique<TLanguageStyle>(dir.path(), dir.path() / "Resource.ini", 1033);
        SetLanguageStyle(style.get());
    }
    void TearDown() override { SetLanguageStyle(nullptr); }

    TempDir dir;
    std::unique_ptr<TLanguageStyle> style;
    TQtCertificatePrompt prompt;
};

TEST_F(QtCertificatePromptTest, ChangedCertificateShowsHostOldAndNewFingerprint) {
    UseLanguageFile(
        "[TEXT]\nCertChangedCaption=证书已更改\n"
        "CertChangedInfo=Server %s: was %s, now %s. Go on?\n"
        "CertUnknownInfo=unused %s %s\n");
    TCertificateQuestion question;
    question.host = "farm.example.test";
    question.port = 3389;
    question.fingerprint = "AA:BB";
    question.oldFingerprint = "11:22";

    bool accepted = false;
    const TShownBox yes = AnswerWith([&] { return prompt.AcceptCertificate(question); }, QMessageBox::Yes, &accepted);
    ASSERT_TRUE(yes.found);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(yes.caption, QString::fromUtf8("证书已更改"));
    EXPECT_EQ(yes.text, QString("Server farm.example.test: was 11:22, now AA:BB. Go on?"));
    EXPECT_EQ(yes.icon, QMessageBox::Warning);
    EXPECT_EQ(yes.defaultButton, QMessageBox::No);  // Enter alone does not accept a changed certificate
    EXPECT_EQ(yes.format, Qt::PlainText);

    const TShownBox no = AnswerWith([&] { return prompt.AcceptCertificate(question); }, QMessageBox::No, &accepted);
    ASSERT_TRUE(no.found);
    EXPECT_FALSE(accepted);
}

TEST_F(QtCertificatePromptTest, UnknownCertificateShowsHostIssuerAndFingerprint) {
    UseLanguageFile(
        "[TEXT]\nCertChangedCaption=unused\nCertUnknownCaption=Zertifikat\n"
        "CertChangedInfo=unused %s %s %s\n"
        "CertUnknownInfo=Erste Verbindung zu %s, Aussteller %s, Fingerabdruck %s – vertrauen?\n");
    TCertificateQuestion question;
    question.host = "<b>10.0.0.1</b>";
    question.issuer = "CN=Self";
    question.fingerprint = "01:02:03";

    bool accepted = true;
    const TShownBox no = AnswerWith([&] { return prompt.AcceptCertificate(question); }, QMessageBox::No, &accepted);
    ASSERT_TRUE(no.found);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(no.caption, QString("Zertifikat"));
    EXPECT_EQ(no.text, QString::fromUtf8("Erste Verbindung zu <b>10.0.0.1</b>, Aussteller CN=Self, Fingerabdruck 01:02:03 – vertrauen?"));
    EXPECT_EQ(no.icon, QMessageBox::Question);
    EXPECT_EQ(no.defaultButton, QMessageBox::No);  // Enter alone does not trust what no authority vouches for

    const TShownBox yes = AnswerWith([&] { return prompt.AcceptCertificate(question); }, QMessageBox::Yes, &accepted);
    ASSERT_TRUE(yes.found);
    EXPECT_TRUE(accepted);
}

TEST_F(QtCertificatePromptTest, ShippedLanguageFilesFillTheirTexts) {
    const std::filesystem::path resources = std::filesystem::path(KIV_SOURCE_DIR) / "resources";
    TCertificateQuestion question;
    question.host = "demo.test";
    question.fingerprint = "CD:EF";
    question.oldFingerprint = "AB:01";
    TCertificateQuestion unknown = question;
    unknown.oldFingerprint.clear();
    unknown.issuer = "CN=Issuer";
    for (uint16_t language : {uint16_t{1033}, uint16_t{2052}}) {
        TLanguageStyle shipped(resources, resources / "Resource.ini", language);
        ASSERT_TRUE(shipped.HasLanguageFile()) << language;
        SetLanguageStyle(&shipped);
        const QString text = TQtCertificatePrompt::TextFor(question);
        // The three values land in the text in their order, and nothing is left to fill.
        const qsizetype host = text.indexOf("demo.test");
        const qsizetype old = text.indexOf("AB:01");
        const qsizetype now = text.indexOf("CD:EF");
        EXPECT_TRUE(host >= 0 && old > host && now > old) << text.toStdString();
        EXPECT_FALSE(text.contains("%s"));
        const QString first = TQtCertificatePrompt::TextFor(unknown);
        const qsizetype issuer = first.indexOf("CN=Issuer");
        EXPECT_TRUE(first.indexOf("demo.test") >= 0 && issuer > first.indexOf("demo.test") &&
                    first.indexOf("CD:EF") > issuer)
            << first.toStdString();
        EXPECT_FALSE(first.contains("%s"));
        EXPECT_FALSE(TQtCertificatePrompt::CaptionFor(question).isEmpty());
        EXPECT_EQ(TQtCertificatePrompt::CaptionFor(question).toUtf8().toStdString(),
                  shipped.GetText("CertChangedCaption"));
        EXPECT_NE(TQtCertificatePrompt::CaptionFor(unknown), TQtCertificatePrompt::CaptionFor(question));
        EXPECT_FALSE(TQtCertificatePrompt::CaptionFor(unknown).isEmpty());
        SetLanguageStyle(nullptr);
    }
}

TEST_F(QtCertificatePromptTest, WithoutLanguageTextsTheHostAndFingerprintStillShow) {
    TCertificateQuestion question;
    question.host = "bare.test";
    question.fingerprint = "99:88";
    question.issuer = "CN=Bare";
    const QString text = TQtCertificatePrompt::TextFor(question);
    EXPECT_TRUE(text.contains("bare.test"));
    EXPECT_TRUE(text.contains("CN=Bare"));
    EXPECT_TRUE(text.contains("99:88"));
}

}  // namespace
}  // namespace kiv
