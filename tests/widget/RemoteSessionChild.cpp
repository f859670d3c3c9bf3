#include "widget/RemoteSessionChild.h"

#include <cstring>
#include <iostream>

#if __has_include("platform/freerdp/FreeRdpControl.h")
#define KIV_WIDGET_TESTS_HAVE_CONTROL 1
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <string>

#include "platform/freerdp/FreeRdpControl.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/qt/RemoteDesktopView.h"
#endif

namespace kiv::test {

namespace {

constexpr QSize kDesktopSize(800, 600);

}  // namespace

QSize RemoteSessionDesktopSize() { return kDesktopSize; }

bool IsRemoteSessionChild(int argc, char** argv) {
    return argc >= 2 && std::strcmp(argv[1], kRemoteSessionChildFlag) == 0;
}

#ifndef KIV_WIDGET_TESTS_HAVE_CONTROL

bool RemoteSessionChildAvailable() { return false; }

int RunRemoteSessionChild(int, char**) {
    std::cerr << "the remote-desktop control is not part of this build\n";
    return 3;
}

#else

namespace {

constexpr int kSessionTimeoutMs = 45000;
constexpr int kRecheckMs = 200;

class AcceptingPrompt : public ICertificatePrompt {
public:
    bool AcceptCertificate(const TCertificateQuestion&) override { return true; }
};

// Ends the child's event loop when the session ends before the desktop showed.
class SessionEnd : public IRemoteDesktopEvents {
public:
    void OnConnecting() override {}
    void OnConnected() override { std::cerr << "session child: connected\n"; }
    void OnDisconnected(int32_t reason) override {
        std::cerr << "session child: disconnected, reason " << reason << "\n";
        QCoreApplication::exit(4);
    }
    void OnFatalError(int32_t code) override {
        std::cerr << "session child: fatal error " << code << "\n";
        QCoreApplication::exit(5);
    }
    void OnChannelReceivedData(const std::string&, const TBytes&) override {}
};

// The view as the session window uses it: its owner gives it the desktop's size.
class SessionView : public TRemoteDesktopView {
public:
    using TRemoteDesktopView::TRemoteDesktopView;
    int damageBatches = 0;

    void OnDesktopResized(int32_t width, int32_t height) override {
        TRemoteDesktopView::OnDesktopResized(width, height);
        resize(width, height);
    }
    void OnFrameDamaged(const std::vector<TRect>& damaged) override {
        TRemoteDesktopView::OnFrameDamaged(damaged);
        ++damageBatches;
    }
};

int CountColour(const QImage& image, const QRect& area, QRgb colour) {
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++count;
    return count;
}

}  // namespace

bool RemoteSessionChildAvailable() { return true; }

int RunRemoteSessionChild(int argc, char** argv) {
    if (argc < 5) {
        std::cerr << "usage: " << kRemoteSessionChildFlag << " PORT SCREENSHOT WORK_FOLDER\n";
        return 2;
    }
    const int port = std::atoi(argv[2]);
    const QString screenshotPath = QString::fromLocal8Bit(argv[3]);
    const std::string workFolder = argv[4];
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    TQtMainLoop loop;
    AcceptingPrompt prompt;
    SessionEnd events;
    TFreeRdpControlOptions options;
    options.configPath = workFolder + "/freerdp";
    options.homeFolder = workFolder;
    TFreeRdpControl control(loop, prompt, options);
    control.SetEvents(&events);

    SessionView view(&control);
    view.setWindowFlags(Qt::FramelessWindowHint);
    view.setGeometry(QRect(QPoint(0, 0), kDesktopSize));
    view.show();

    control.SetServer("127.0.0.1");
    IAdvancedSettings* advanced = control.AdvancedSettings(TAdvancedSettingsLevel::Level3);
    advanced->SetRDPPort(port);
    control.SetUserName("tester");
    control.SetDomain("DEMO");
    advanced->SetClearTextPassword("secret");
    control.SetColorDepth(32);
    control.SetDesktopWidth(kDesktopSize.width());
    control.SetDesktopHeight(kDesktopSize.height());
    control.SecuredSettings()->SetAudioRedirectionMode(2);
    control.Connect();

    QImage lastShot;
    auto saveShot = [&] {
        if (!lastShot.isNull() && !lastShot.save(screenshotPath, "PNG"))
            std::cerr << "session child: cannot save " << screenshotPath.toStdString() << "\n";
    };
    // Once damage has arrived, look at what the X server really shows; a paint
    // still on its way is looked at again shortly after.
    QTimer recheck;
    recheck.setInterval(kRecheckMs);
    QObject::connect(&recheck, &QTimer::timeout, [&] {
        if (view.damageBatches == 0 || !view.windowHandle() || !view.windowHandle()->isExposed()) return;
        view.repaint();
        lastShot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        const QRect area = view.geometry();
        const int matching = CountColour(lastShot, area, kDemoDesktopColour);
        // Tiles arrive one after another: wait for nearly all of the desktop and its
        // last corner, so that the parent's look at single pixels is not early.
        const bool cornerPainted = (lastShot.pixel(area.bottomRight()) & 0xFFFFFF) == (kDemoDesktopColour & 0xFFFFFF);
        if (cornerPainted && matching > area.width() * area.height() * 9 / 10) {
            std::cerr << "session child: desktop on screen after " << view.damageBatches << " damage batches\n";
            QCoreApplication::exit(0);
        }
    });
    recheck.start();
    QTimer::singleShot(kSessionTimeoutMs, [&] {
        std::cerr << "session child: the desktop did not show in time (" << view.damageBatches
                  << " damage batches)\n";
        lastShot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        QCoreApplication::exit(6);
    });

    const int result = app.exec();
    saveShot();
    control.Disconnect();
    return result;
}

#endif

}  // namespace kiv::test
