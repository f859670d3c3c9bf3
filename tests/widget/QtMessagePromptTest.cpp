#include "platform/qt/QtMessagePrompt.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "widget/DialogTestSupport.h"

namespace kiv {
namespace {

struct TSeenPrompt {
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Answers the open prompt with a button, or with Escape when none is given.
template <typename R>
R Answer(const std::function<R()>& ask, QMessageBox::StandardButton button, TSeenPrompt* seen) {
    QTimer::singleShot(0, [=] {
        auto* box = test::FindVisibleTopLevel<QMessageBox>(TQtMessagePrompt::kBoxObjectName);
        if (!box) return;
        seen->found = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        seen->defaultButton = box->standardButton(box->defaultButton());
        if (button != QMessageBox::NoButton) {
            box->button(button)->click();
            return;
        }
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(10000);
    return ask();
}

TEST(QtMessagePromptTest, OkCancelShowsTheErrorIconAndGivesTheAnswer) {
    TQtMessagePrompt prompt;
    std::function<TPromptAnswer()> ask = [&] { return prompt.AskOkCancel("错误", "运行修复工具？ <b>"); };
    TSeenPrompt seen;
    EXPECT_EQ(Answer(ask, QMessageBox::Ok, &seen), TPromptAnswer::Ok);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, QString::fromUtf8("错误"));
    EXPECT_EQ(seen.text, QString::fromUtf8("运行修复工具？ <b>"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Ok);

    EXPECT_EQ(Answer(ask, QMessageBox::Cancel, &seen), TPromptAnswer::Cancel);
    EXPECT_EQ(Answer(ask, QMessageBox::NoButton, &seen), TPromptAnswer::Cancel);
}

TEST(QtMessagePromptTest, YesNoShowsTheQuestionIconAndIsTrueUnlessNo) {
    TQtMessagePrompt prompt;
    std::function<bool()> ask = [&] { return prompt.AskYesNo("Kiv Client", "Disconnect from the remote application?"); };
    TSeenPrompt seen;
    EXPECT_TRUE(Answer(ask, QMessageBox::Yes, &seen));
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Yes);
    EXPECT_EQ(seen.text, QString("Disconnect from the remote application?"));

    EXPECT_FALSE(Answer(ask, QMessageBox::No, &seen));
    EXPECT_FALSE(Answer(ask, QMessageBox::NoButton, &seen));  // Escape is No
}

}  // namespace
}  // namespace kiv
