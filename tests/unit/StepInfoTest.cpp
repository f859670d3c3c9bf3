#include <gtest/gtest.h>

#include "session/KivMessageBox.h"
#include "session/StepInfo.h"
#include "support/ManualClock.h"

namespace kiv {
namespace {

struct View : IProgressView {
    void SetCaption(const std::string&, const std::string&) override {}
    void SetCancelCaption(const std::string&) override {}
    void SetBanner(const std::string&) override {}
    void SetStatusText(const std::string& t) override { status = t; }
    void SetPosition(int32_t p) override {
        position = p;
        history.push_back(p);
    }
    int32_t Position() const override { return position; }
    void ShowLogonLook() override { ++logonLooks; }
    void ShowDialog() override { visible = true; }
    void HideDialog() override { visible = false; }
    void Repaint() override {}
    int32_t position = 0;
    std::vector<int32_t> history;
    std::string status;
    int logonLooks = 0;
    bool visible = false;
};

TEST(StepInfo, AnimationStopsOnlyOncePastTheLimit) {
    View view;
    test::ManualClock clock;
    TfrmStepInfo dialog(view, clock);
    dialog.SetProgress(20, 5, 80);
    clock.Advance(200 * 30);
    EXPECT_EQ(view.position, 85);
    EXPECT_FALSE(dialog.Animating());
    EXPECT_EQ(view.history.front(), 20);
    EXPECT_EQ(view.history[1], 25);

    view.history.clear();
    dialog.SetProgress(10, 5, 10);
    clock.Advance(200 * 10);
    EXPECT_EQ(view.history, (std::vector<int32_t>{10, 15}));
}

TEST(StepInfo, ALimitOfAHundredKeepsTickingAtTheTop) {
    View view;
    test::ManualClock clock;
    TfrmStepInfo dialog(view, clock);
    dialog.SetProgress(80, 5, 100);
    clock.Advance(200 * 20);
    EXPECT_EQ(view.position, 100);
    EXPECT_TRUE(dialog.Animating());
    dialog.Close();
    EXPECT_FALSE(dialog.Animating());
    EXPECT_FALSE(view.visible);
}

TEST(StepInfo, LogonLookInAnyCaseAndOnlyOnce) {
    View view;
    test::ManualClock clock;
    TfrmStepInfo dialog(view, clock);
    dialog.ShowStep("Connect");
    EXPECT_EQ(view.logonLooks, 0);
    EXPECT_TRUE(view.visible);
    dialog.ShowStep("logon");
    dialog.ShowStep("Logon");
    EXPECT_EQ(view.logonLooks, 1);
    EXPECT_TRUE(dialog.LogonLook());
}

TEST(KivMessageBox, DetailsWithAndWithoutARecord) {
    const TClientFacts client{"PC-17", "192.168.1.20,10.0.0.2", "FP"};
    const auto six = BuildMessageDetails("Oops", nullptr, client);
    EXPECT_EQ(six, (std::vector<std::string>{"Oops", "", "[Client]", "Computer=PC-17", "IP=192.168.1.20,10.0.0.2",
                                             "FP=FP"}));
    TKIVFile r;
    r.AppID = "APP1";
    r.AppName = "Word";
    r.ServerAddress = "srv:3389";
    r.LoginUser = "5553";
    r.LoginPassWord = "5057";
    r.LoginDomain = std::string(60, 'D');
    r.UserName = "616E6E";
    const auto full = BuildMessageDetails("Oops", &r, client);
    ASSERT_EQ(full.size(), 15u);
    EXPECT_EQ(full[3], "AppID=APP1");
    EXPECT_EQ(full[6], "IP=srv:3389");
    EXPECT_EQ(full[7], "UserName=5553");  // as stored
    EXPECT_EQ(full[8], "PassWord=********");  // never the stored form
    EXPECT_EQ(full[9].size(), 57u);       // the domain line is cut
    EXPECT_EQ(full[11], "User=ann");
    EXPECT_EQ(full[14], "FP=FP");
    r.LoginPassWord = "";
    EXPECT_EQ(BuildMessageDetails("Oops", &r, client)[8], "PassWord=");  // none stored: nothing to mask
}

TEST(KivMessageBox, EmptyCaptionBecomesTheClientName) {
    struct Box : IMessageBoxView {
        TMessageBoxResult Show(const TMessageBoxContent& c) override {
            shown = c;
            return TMessageBoxResult::Ok;
        }
        TMessageBoxContent shown;
    } box;
    ShowKivMessageBox(box, "t", "", nullptr, 3, {});
    EXPECT_EQ(box.shown.caption, "Kiv Client");
    EXPECT_EQ(box.shown.iconIndex, 3);
}

}  // namespace
}  // namespace kiv
