#pragma once
// What the dialog tests share: the shipped language files, a private per-user
// folder for the colour scheme, waiting on the event loop with a deadline, and
// screenshots kept beside the build for people to look at.
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "infra/LanguageStyle.h"
#include "support/TempDir.h"

namespace kiv::test {

// The language files of the source tree, for one language identifier
// (2052 Simplified Chinese, 1033 English), as the global instance.
class ScopedShippedLanguage {
public:
    explicit ScopedShippedLanguage(uint16_t languageId)
        : style_(std::filesystem::path(KIV_SOURCE_DIR) / "resources",
                 std::filesystem::path(KIV_SOURCE_DIR) / "resources" / "Resource.ini", languageId),
          previous_(LanguageStyle()) {
        SetLanguageStyle(&style_);
    }
    ~ScopedShippedLanguage() { SetLanguageStyle(previous_); }
    ScopedShippedLanguage(const ScopedShippedLanguage&) = delete;
    ScopedShippedLanguage& operator=(const ScopedShippedLanguage&) = delete;
    const TLanguageStyle& style() const { return style_; }

private:
    TLanguageStyle style_;
    TLanguageStyle* previous_;
};

// A language file written by the test, as the global instance.
class ScopedLanguageFile {
public:
    explicit ScopedLanguageFile(std::string_view text) : previous_(LanguageStyle()) {
        dir_.Write("Resource.ini", "[LanguageStyle]\n1033=en\n[en]\nIniPath=Language\\en.ini\nImgPath=Images\\\n");
        dir_.Write("Language/en.ini", text);
        style_ = std::make_unique<TLanguageStyle>(dir_.path(), dir_.path() / "Resource.ini", 1033);
        SetLanguageStyle(style_.get());
    }
    ~ScopedLanguageFile() { SetLanguageStyle(previous_); }
    ScopedLanguageFile(const ScopedLanguageFile&) = delete;
    ScopedLanguageFile& operator=(const ScopedLanguageFile&) = delete;

private:
    TempDir dir_;
    std::unique_ptr<TLanguageStyle> style_;
    TLanguageStyle* previous_;
};

// A per-user settings folder of the test's own; "Farms.ini" holds the given
// [ClientSet] ColorScheme line (none when empty).
class ScopedUserFolder {
public:
    explicit ScopedUserFolder(const std::string& colorScheme = {}) : env_("XDG_CONFIG_HOME", dir_.path().string()) {
        if (!colorScheme.empty()) dir_.Write("VYNClient6.0/Farms.ini", "[ClientSet]\nColorScheme=" + colorScheme + "\n");
    }

private:
    TempDir dir_;
    ScopedEnv env_;
};

// Runs the event loop until the condition holds or the deadline passes.
inline bool WaitUntil(const std::function<bool()>& condition, int deadlineMs = 10000) {
    QDeadlineTimer deadline(deadlineMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// build/test-artifacts/<name>.png, next to the folder of the test binary.
inline QString SaveScreenshot(QWidget& widget, const QString& name) {
    const QString folder = QCoreApplication::applicationDirPath() + "/../test-artifacts";
    QDir().mkpath(folder);
    const QString path = QDir(folder).absoluteFilePath(name + ".png");
    // As the user would see it: after the layouts that wait for the event loop.
    QCoreApplication::processEvents();
    widget.grab().toImage().save(path);
    return path;
}

// A widget's picture at the device's own scale, for looking at single pixels.
inline QImage Picture(QWidget& widget) {
    QImage image = widget.grab().toImage();
    return image.scaled(widget.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// A press and a release of the left button at a point of the widget, as the
// window system would deliver them.
inline void Click(QWidget* widget, QPoint at) {
    const QPointF local(at);
    const QPointF global(widget->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// The largest difference of the red, green and blue parts of two colours.
inline int ColorDistance(const QColor& a, const QColor& b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

template <typename T>
T* FindVisibleTopLevel(const char* objectName) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* found = qobject_cast<T*>(widget);
        if (found && found->objectName() == objectName && found->isVisible()) return found;
    }
    return nullptr;
}

}  // namespace kiv::test
