// The full-desktop frame's widgets offscreen: where each layout puts the
// toolbar, the desktop panel and the remote desktop, and what the buttons and
// the device menu report.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QToolButton>

#include <string>
#include <vector>

#include "platform/qt/DesktopFrameWidget.h"
#include "platform/qt/FrameToolBar.h"
#include "platform/qt/RemoteDesktopView.h"
#include "session/ToolbarLayout.h"

namespace kiv {
namespace {

struct Events : IFrameEvents {
    void OnBtnMinClick() override { seen.push_back("min"); }
    void OnBtnMaxClick() override { seen.push_back("max"); }
    void OnBtnCloseClick() override { seen.push_back("close"); }
    void OnBtnMenuClick() override { seen.push_back("menu"); }
    void OnDeviceMenuItemClick(std::size_t index) override { seen.push_back("item " + std::to_string(index)); }
    void OnToolbarDoubleClick() override { seen.push_back("double"); }
    void OnToolbarMouseDown(int32_t, int32_t) override { seen.push_back("drag"); }
    void OnPanelMouseMove(int32_t, int32_t) override {}
    void OnPanelMouseDown(int32_t, int32_t) override {}
    void OnWindowPointer(int32_t, int32_t) override {}
    void OnDesktopPanelResize() override { ++panelResizes; }
    std::vector<std::string> seen;
    int panelResizes = 0;
};

std::string Text(const TRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

class DesktopFrameWidget : public ::testing::Test {
protected:
    void SetUp() override {
        frame = new TDesktopFrameWidget(&window);
        view = new TRemoteDesktopView();
        frame->SetDesktopView(view);
        frame->SetFrameEvents(&events);
        window.resize(800, 600);
        frame->setGeometry(0, 0, 800, 600);
        window.show();  // a hidden widget gets its resize events only when shown
    }

    QWidget window;
    TDesktopFrameWidget* frame;
    TRemoteDesktopView* view;
    Events events;
};

TEST_F(DesktopFrameWidget, EachLayoutPlacesToolbarPanelAndDesktop) {
    frame->ApplyToolbarLayout(ToolbarLayoutFor(0, 800, "Notepad"));
    EXPECT_EQ(Text(frame->ToolbarRect()), "0,0 800x30");
    EXPECT_EQ(Text(frame->PanelRect()), "0,30 800x570");
    EXPECT_EQ(Text(frame->ViewRect()), "1,31 798x568") << "inside the one-pixel border";
    EXPECT_GT(events.panelResizes, 0);

    frame->ApplyToolbarLayout(ToolbarLayoutFor(1, 800, "Notepad"));
    EXPECT_EQ(Text(frame->PanelRect()), "0,0 800x600");
    EXPECT_EQ(Text(frame->ViewRect()), "0,0 800x600") << "no border in full screen";
    EXPECT_EQ(Text(frame->ToolbarRect()), "0,-30 800x30");
    frame->SetToolbarTop(0, true);
    EXPECT_EQ(frame->ToolbarRect().y, 0);
    frame->resize(800, 599);  // a new size keeps the toolbar where it is
    EXPECT_EQ(frame->ToolbarRect().y, 0);

    frame->ApplyToolbarLayout(ToolbarLayoutFor(3, 800, "Notepad"));
    EXPECT_TRUE(frame->ToolBar()->isHidden());
}

TEST_F(DesktopFrameWidget, ButtonsAndTheDeviceMenuReportToTheLogic) {
    TToolbarLayout layout = ToolbarLayoutFor(0, 800, "Notepad");
    layout.hints.close = "Disconnect";
    frame->ApplyToolbarLayout(layout);
    for (const char* name : {"btnMenu", "btnMin", "btnMax", "btnClose"})
        frame->ToolBar()->findChild<QToolButton*>(name)->click();
    EXPECT_EQ(events.seen, (std::vector<std::string>{"menu", "min", "max", "close"}));
    EXPECT_EQ(frame->ToolBar()->findChild<QToolButton*>("btnClose")->toolTip(), "Disconnect");
    auto* hold = frame->ToolBar()->findChild<QToolButton*>("btnHold");
    EXPECT_FALSE(frame->HoldChecked());
    hold->click();
    EXPECT_TRUE(frame->HoldChecked());

    events.seen.clear();
    frame->ShowDeviceMenu({{"USB Disk", true}, {"打印机", false}});
    const QList<QAction*> actions = frame->DeviceMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[1]->text(), QString::fromUtf8("打印机"));
    EXPECT_TRUE(actions[0]->isChecked());
    EXPECT_FALSE(actions[1]->isChecked());
    actions[1]->trigger();
    EXPECT_EQ(events.seen, std::vector<std::string>{"item 1"});
    frame->DeviceMenu()->hide();
    // Opened again, the menu holds only the new list.
    frame->ShowDeviceMenu({});
    EXPECT_TRUE(frame->DeviceMenu()->actions().isEmpty());
    frame->DeviceMenu()->hide();
}

}  // namespace
}  // namespace kiv
