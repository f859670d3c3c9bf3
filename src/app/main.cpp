// kivclient: opens a connection file, a link file or a KIV:// link, logs on to
// the terminal server and shows the published application.
#include <QApplication>
#include <QTimer>

#include <malloc.h>

#include <cstdlib>
#include <iostream>
#include <string_view>
#include <thread>

#include "app/KivClientApp.h"
#include "app/AgentStart.h"
#include "infra/DebugLog.h"
#include "infra/LanguageStyle.h"
#include "infra/SystemLocale.h"
#include "platform/freerdp/FreeRdpDisplay.h"
#include "platform/freerdp/FreeRdpVersion.h"
#include "platform/qt/XDesktopProbe.h"
#include "platform/linux/MachineSettingsFile.h"
#include "platform/linux/ProgramFolder.h"

namespace {

void PrintUsage() {
    std::cout << "usage: kivclient FILE.kiv        open a connection file\n"
                 "       kivclient FILE.vyn        open a link file\n"
                 "       kivclient KIV://LINK      fetch the connection file from the portal the link names\n"
                 "       kivclient TARGET /open DOCUMENT   hand a local document to the published application\n"
                 "       kivclient LINK&DOCUMENT   open a document in a shared seamless session\n"
                 "       kivclient --help | -h | --version\n"
                 "\n"
                 "Settings: KivClient.ini beside the program; the user's farms in $XDG_CONFIG_HOME/VYNClient6.0/.\n"
                 "Diagnostics: kivtool doctor; connection files: kivtool make-kiv, kivtool read.\n";
}

}  // namespace

int main(int argc, char** argv) {
    // A fixed threshold: glibc would raise it after the first large block freed
    // (a frame buffer, a decoder's tables), and from then on blocks of megabytes
    // stay in the heap after they are freed instead of going back to the system.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Started without anything to open: nothing to do, nothing read.
    if (argc < 2) return 0;
    const std::string_view first = argv[1];
    if (first == "--help" || first == "-h") {
        PrintUsage();
        return 0;
    }
    if (first == "--version") {
        std::cout << "kivclient " << KIV_VERSION << " (FreeRDP " << kiv::FreeRdpVersion() << ")\n";
        return 0;
    }
    // Qt would abort without a display; say why and end like any failed start.
    if (const std::string problem = kiv::XDisplayProblem(); !problem.empty()) {
        std::cerr << "kivclient: " << problem << "\n";
        return 1;
    }
    // The library reads the keyboard layout by running xprop, which the
    // connection needs before its first request: done while Qt starts instead.
    std::thread keyboard([] { kiv::TFreeRdpDisplay::PrepareKeyboard(); });
    kiv::InitDebugSwitches(kiv::TMachineSettingsFile().ReadString("Debug", "KivClient"));
    const std::filesystem::path folder = kiv::ProgramFolder();
    kiv::StartAgentWhenWanted(folder);
    kiv::TLanguageStyle language(folder, folder / "Resource.ini", kiv::SystemDefaultLanguageId());
    kiv::SetLanguageStyle(&language);

    // Windows must be able to place and shape themselves: X11, also under Wayland.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication application(argc, argv);
    QApplication::setApplicationName("VYN Client");
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    {
        kiv::TKivClientApp client(folder, std::vector<std::string>(argv + 1, argv + argc));
        QTimer::singleShot(1, &client, [&client] { client.StartUp(); });
        exitCode = QApplication::exec();
        client.Shutdown();
    }
    keyboard.join();
    if (kiv::DebugSwitches[kiv::dmMain]) kiv::WriteLog("[Application] After Run");
    kiv::SetLanguageStyle(nullptr);
    (void)exitCode;
    return 0;
}
