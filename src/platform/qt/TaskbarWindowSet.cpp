#include "platform/qt/TaskbarWindowSet.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <cstring>
#include <set>

#include "platform/qt/TaskbarWindow.h"
#include "platform/qt/TaskbarWindowX11.h"
#include "platform/qt/X11Atoms.h"

namespace kiv {

QImage ToQImage(const TIconImage& icon) {
    if (icon.width <= 0 || icon.height <= 0 ||
        icon.pixels.size() != static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height))
        return QImage();
    QImage image(icon.width, icon.height, QImage::Format_ARGB32);
    for (int y = 0; y < icon.height; ++y)
        std::memcpy(image.scanLine(y), icon.pixels.data() + static_cast<std::size_t>(y) * icon.width,
                    static_cast<std::size_t>(icon.width) * 4);
    return image;
}

TQtTaskbarWindows::TQtTaskbarWindows() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        connect(screen, &QScreen::availableGeometryChanged, this, &TQtTaskbarWindows::OnWorkAreaChanged);
}

TQtTaskbarWindows::~TQtTaskbarWindows() {
    sink_ = nullptr;
    for (auto& [handle, window] : windows_) delete window.data();
}

TTaskbarHandle TQtTaskbarWindows::CreateTaskbarWindow(const std::string& className, const TIconImage* icon,
                                                      const std::u16string& title) {
    QIcon qicon;
    if (icon) {
        const QImage image = ToQImage(*icon);
        if (!image.isNull()) qicon = QIcon(QPixmap::fromImage(image));
    }
    // The handle is known only once the native window exists; the report looks it up then.
    auto handle = std::make_shared<TTaskbarHandle>(0);
    auto* window = new TTaskbarWindow(QString::fromStdU16String(title), qicon,
                                      [this, handle](uint32_t message, uint64_t wParam) {
                                          if (*handle != 0) Report(*handle, message, wParam);
                                      });
    const WId id = window->winId();  // creates the native window
    if (OnX11()) SetWindowClass(*window->windowHandle(), className);
    *handle = id != 0 && windows_.count(id) == 0 ? static_cast<TTaskbarHandle>(id) : nextHandle_++;
    windows_[*handle] = window;
    window->setMask(TTaskbarWindow::NothingShown());
    window->show();
    return *handle;
}

void TQtTaskbarWindows::DestroyTaskbarWindow(TTaskbarHandle handle) {
    const auto it = windows_.find(handle);
    if (it == windows_.end()) return;
    QPointer<TTaskbarWindow> window = it->second;
    windows_.erase(it);
    if (sink_) sink_->OnTaskbarMessage(handle, kTaskbarDestroy, 0, 0);
    if (!window) return;
    // Possibly from inside one of its own events: it goes once they are over.
    window->hide();
    window->deleteLater();
}

TTaskbarWindow* TQtTaskbarWindows::Window(TTaskbarHandle handle) const {
    const auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : it->second.data();
}

bool TQtTaskbarWindows::WindowExists(TTaskbarHandle handle) const { return Window(handle) != nullptr; }

void TQtTaskbarWindows::SetTitle(TTaskbarHandle handle, const std::u16string& title) {
    if (TTaskbarWindow* window = Window(handle)) window->setWindowTitle(QString::fromStdU16String(title));
}

void TQtTaskbarWindows::SetWindowRect(TTaskbarHandle handle, const TRect& rect) {
    if (rect.width <= 0 || rect.height <= 0) return;
    if (TTaskbarWindow* window = Window(handle)) window->setGeometry(rect.x, rect.y, rect.width, rect.height);
}

void TQtTaskbarWindows::ShowTaskbarWindow(TTaskbarHandle handle) {
    if (TTaskbarWindow* window = Window(handle)) window->show();
}

void TQtTaskbarWindows::HideTaskbarWindow(TTaskbarHandle handle) {
    if (TTaskbarWindow* window = Window(handle)) window->hide();
}

bool TQtTaskbarWindows::MinimizeTaskbarWindow(TTaskbarHandle handle) {
    TTaskbarWindow* window = Window(handle);
    if (!window) return false;
    window->showMinimized();
    return true;
}

bool TQtTaskbarWindows::IsActiveWindow(TTaskbarHandle handle) const {
    const TTaskbarWindow* window = Window(handle);
    return window && window->isActiveWindow();
}

void TQtTaskbarWindows::SwitchToNextTaskWindow(TTaskbarHandle handle) {
    TTaskbarWindow* window = Window(handle);
    if (!window || !OnX11()) return;
    // The other taskbar windows stand for the same session: the switch passes them by.
    std::set<uint32_t> own;
    for (const auto& [_, other] : windows_)
        if (other) own.insert(static_cast<uint32_t>(other->winId()));
    ActivateNextTaskWindow(static_cast<uint32_t>(window->winId()), own);
}

bool TQtTaskbarWindows::ForceForegroundWindow(TTaskbarHandle handle) {
    TTaskbarWindow* window = Window(handle);
    if (!window) return false;
    if (window->isMinimized()) window->showNormal();
    if (OnX11() && HaveWindowManager()) {
        if (ActiveWindowId() == static_cast<uint32_t>(window->winId())) return true;
        // The answer comes as the window's activation; nothing waits for it here.
        window->RequestActivation();
        return false;
    }
    if (window->isActiveWindow()) return true;
    window->raise();
    window->activateWindow();
    return window->isActiveWindow();
}

void TQtTaskbarWindows::CursorPos(int32_t& x, int32_t& y) const {
    const QPoint at = QCursor::pos();
    x = at.x();
    y = at.y();
}

std::optional<TIconImage> TQtTaskbarWindows::DecodePng(std::span<const uint8_t> bytes) const {
    QImage image;
    if (!image.loadFromData(bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX)), "PNG"))
        return std::nullopt;
    image = image.convertToFormat(QImage::Format_ARGB32);
    TIconImage icon;
    icon.width = image.width();
    icon.height = image.height();
    icon.pixels.resize(static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height));
    for (int y = 0; y < icon.height; ++y)
        std::memcpy(icon.pixels.data() + static_cast<std::size_t>(y) * icon.width, image.constScanLine(y),
                    static_cast<std::size_t>(icon.width) * 4);
    return icon;
}

void TQtTaskbarWindows::EndSession() {
    if (!windows_.empty()) Report(windows_.begin()->first, kTaskbarEndSession, 0);
}

void TQtTaskbarWindows::OnWorkAreaChanged() {
    // Every taskbar window hears of it, as every top-level window does.
    std::vector<TTaskbarHandle> handles;
    for (const auto& entry : windows_) handles.push_back(entry.first);
    for (TTaskbarHandle handle : handles)
        if (windows_.count(handle)) Report(handle, kTaskbarSettingChange, kSettingWorkArea);
}

void TQtTaskbarWindows::Report(TTaskbarHandle handle, uint32_t message, uint64_t wParam) {
    if (sink_ && windows_.count(handle)) sink_->OnTaskbarMessage(handle, message, wParam, 0);
}

}  // namespace kiv
