#pragma once
// Recording stand-ins for the session window's ports.
#include <map>
#include <string>
#include <vector>

#include "ports/DesktopFacts.h"
#include "ports/HandOver.h"
#include "ports/MessageBoxView.h"
#include "ports/MessagePrompt.h"
#include "ports/ProcessStarter.h"
#include "ports/ProgressView.h"
#include "ports/SessionWindowView.h"

namespace kiv::test {

struct FakeWindowView : ISessionWindowView {
    void SetCaption(const std::string& c) override { caption = c; }
    void SetEmptyRegion() override { region = "empty"; }
    void SetWholeRegion() override { region = "whole"; }
    void SetRegion(const TRect& r) override { region = "rect " + std::to_string(r.width) + "x" + std::to_string(r.height); }
    void ShowCover(bool v) override { cover = v; }
    void PlaceWindow() override { ++placed; }
    void SetVisible(bool v) override { visible = v; }
    void BringToFront() override { ++raised; }
    void SetToolWindowStyle() override { toolWindow = true; }
    bool SetApplicationIcon(const std::string& name) override {
        applicationIcon = name;
        return true;
    }
    std::string caption, region = "none", applicationIcon;
    bool cover = false, visible = false, toolWindow = false;
    int placed = 0, raised = 0;
};

struct FakeProgressView : IProgressView {
    void SetCaption(const std::string& w, const std::string& h) override { caption = w + "|" + h; }
    void SetCancelCaption(const std::string& c) override { cancel = c; }
    void SetBanner(const std::string& p) override { banner = p; }
    void SetStatusText(const std::string& t) override { statuses.push_back(t); }
    void SetPosition(int32_t p) override { position = p; }
    int32_t Position() const override { return position; }
    void ShowLogonLook() override { logonLook = true; }
    void ShowDialog() override { visible = true; }
    void HideDialog() override { visible = false; }
    void Repaint() override {}
    std::string caption, cancel, banner;
    std::vector<std::string> statuses;
    int32_t position = 0;
    bool logonLook = false, visible = false;
};

struct FakeMessageBox : IMessageBoxView {
    TMessageBoxResult Show(const TMessageBoxContent& c) override {
        shown.push_back(c);
        if (onShow) onShow();
        return TMessageBoxResult::Ok;
    }
    std::vector<TMessageBoxContent> shown;
    std::function<void()> onShow;  // events that arrive while the box is open
};

struct FakePrompt : IMessagePrompt {
    TPromptAnswer AskOkCancel(const std::string&, const std::string&) override { return TPromptAnswer::Cancel; }
    bool AskYesNo(const std::string&, const std::string& text) override {
        questions.push_back(text);
        return yes;
    }
    bool yes = true;
    std::vector<std::string> questions;
};

struct FakeApplication : IApplicationControl {
    void CloseMainWindow() override { ++closed; }
    void Terminate() override { ++terminated; }
    void KillUserProcesses(const std::string& name) override { killed.push_back(name); }
    int closed = 0, terminated = 0;
    std::vector<std::string> killed;
};

struct FakeDesktop : IDesktopFacts {
    std::optional<TTaskbarEdge> TaskbarEdge() const override { return TTaskbarEdge::Bottom; }
    std::optional<TRect> NotifyAreaRect() const override { return TRect{1500, 1050, 100, 30}; }
    TRect PrimaryWorkArea() const override { return TRect{0, 0, 1920, 1050}; }
    TRect MonitorArea(int) const override { return TRect{0, 0, 1920, 1080}; }
};

struct FakeProcesses : IProcessStarter {
    bool Start(const std::string& program, const std::vector<std::string>& args) override {
        started.push_back(program);
        (void)args;
        return true;
    }
    std::vector<std::string> started;
};

// Endpoints in one process: a key listened on is found by the next FindPeer.
struct FakeHandOver : IHandOverFactory {
    struct Endpoint : IHandOverEndpoint {
        explicit Endpoint(FakeHandOver& f) : factory(f) {}
        void FindPeer(const std::string& key) override { found = factory.listeners.count(key) ? key : ""; }
        bool PeerFound() const override { return !found.empty(); }
        void Send(const std::vector<uint8_t>& record) override { factory.listeners[found](record); }
        void Listen(const std::string& key, std::function<void(const std::vector<uint8_t>&)> onRecord) override {
            factory.listeners[key] = std::move(onRecord);
        }
        FakeHandOver& factory;
        std::string found;
    };
    std::unique_ptr<IHandOverEndpoint> CreateEndpoint() override { return std::make_unique<Endpoint>(*this); }
    std::map<std::string, std::function<void(const std::vector<uint8_t>&)>> listeners;
};

}  // namespace kiv::test
