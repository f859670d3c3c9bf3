// kivclient: opens a connection file, a link file or a KIV:// link, logs on to
// the terminal server and shows the published application.
#include <QApplication>
#include <QTimer>

#include <cstdlib>

#include "app/KivClientApp.h"
#include "app/AgentStart.h"
#include "infra/DebugLog.h"
#include "infra/LanguageStyle.h"
#include "infra/SystemLocale.h"
#include "platform/linux/MachineSettingsFile.h"
#include "platform/linux/ProgramFolder.h"

int main(int argc, char** argv) {
    // Started without anything to open: nothing to do, nothing read.
    if (argc < 2) return 0;
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
    if (kiv::DebugSwitches[kiv::dmMain]) kiv::WriteLog("[Application] After Run");
    kiv::SetLanguageStyle(nullptr);
    (void)exitCode;
    return 0;
}
