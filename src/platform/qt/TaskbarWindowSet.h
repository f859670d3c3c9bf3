#pragma once
// The taskbar windows of the seamless mode on Qt: creates, finds and destroys
// them by handle (their X window id), reports their messages to the seamless
// handler, tells every one of them when the work area changes, and decodes the
// PNG images of icon files.
#include <QObject>
#include <QPointer>

#include <map>

#include "ports/TaskbarWindows.h"

namespace kiv {

class TTaskbarWindow;

class TQtTaskbarWindows final : public QObject, public ITaskbarWindows, public IIconImageDecoder {
    Q_OBJECT

public:
    TQtTaskbarWindows();
    ~TQtTaskbarWindows() override;

    void SetEventSink(ITaskbarWindowEvents* sink) override { sink_ = sink; }
    TTaskbarHandle CreateTaskbarWindow(const std::string& className, const TIconImage* icon,
                                       const std::u16string& title) override;
    void DestroyTaskbarWindow(TTaskbarHandle window) override;
    bool WindowExists(TTaskbarHandle window) const override;
    void SetTitle(TTaskbarHandle window, const std::u16string& title) override;
    void SetWindowRect(TTaskbarHandle window, const TRect& rect) override;
    void ShowTaskbarWindow(TTaskbarHandle window) override;
    void HideTaskbarWindow(TTaskbarHandle window) override;
    bool MinimizeTaskbarWindow(TTaskbarHandle window) override;
    bool IsActiveWindow(TTaskbarHandle window) const override;
    bool ForceForegroundWindow(TTaskbarHandle window) override;
    void SwitchToNextTaskWindow(TTaskbarHandle window) override;
    void CursorPos(int32_t& x, int32_t& y) const override;

    std::optional<TIconImage> DecodePng(std::span<const uint8_t> bytes) const override;

    // The desktop session ends: the handler lets go of every window.
    void EndSession();
    // For tests and diagnostics.
    TTaskbarWindow* Window(TTaskbarHandle window) const;
    std::size_t Count() const { return windows_.size(); }

private:
    void Report(TTaskbarHandle window, uint32_t message, uint64_t wParam);
    void OnWorkAreaChanged();

    ITaskbarWindowEvents* sink_ = nullptr;
    std::map<TTaskbarHandle, QPointer<TTaskbarWindow>> windows_;
    TTaskbarHandle nextHandle_ = 1;  // where a platform gives windows no id of their own
};

// An icon's pixels as Qt draws them.
QImage ToQImage(const TIconImage& icon);

}  // namespace kiv
