#pragma once
// The client process: it builds the adapters around the session window's logic
// and runs the one-shot start-up step that turns the command line into a session.
#include <QObject>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "launch/CommandLine.h"
#include "launch/KivFile.h"
#include "ports/CertificatePrompt.h"
#include "ports/MessageBoxView.h"
#include "ports/MessagePrompt.h"
#include "ports/SessionWindowView.h"

namespace kiv {

class TfrmClientForm;
class TDesktopFrameWidget;
class TFolderPluginLoader;
class TFreeRdpControl;
class TKivMessageBoxDialog;
class TLinuxMachineFacts;
class TLocalCommandServer;
class TMachineSettingsFile;
class TPosixClientMarker;
class TProcessStarterPosix;
class TQtCertificatePrompt;
class TQtDesktopFacts;
class TQtMainLoop;
class TQtMessagePrompt;
class TQtSeamlessSurface;
class TQtTaskbarWindows;
class TQtTrayIcons;
class TQtIconFileDecoder;
class TQtTimerFactory;
class TRemoteDesktopView;
class TQtImeWindows;
class TSessionEndWatcher;
class TSessionWindow;
class TStatusWindowLink;
class TDeferredProgressView;
class TUnixHandOverFactory;
class TUsbLibraryLoader;
class TX11HotKey;
class TWindowMenuKey;
struct TClientFacts;
struct TTrafficMeterPorts;

class TKivClientApp final : public QObject, public IApplicationControl {
    Q_OBJECT

public:
    TKivClientApp(std::filesystem::path programFolder, std::vector<std::string> arguments);
    ~TKivClientApp() override;

    // tmrStartTimer: runs once, at the first turn of the event loop.
    void StartUp();
    // After the event loop: the shutdown order.
    void Shutdown();

    // IApplicationControl
    void CloseMainWindow() override;
    void Terminate() override;
    void KillUserProcesses(const std::string& name) override;

private:
    bool ReadSettings(TCommandLine& line);
    void StartSession(const TCommandLine& line);
    void ShowStartupError(const std::string& text);
    void OnControlLine(const std::string& line);
    TClientFacts ClientFacts();
    void RegisterFileTypes();  // once, when asked for
    IMessageBoxView& MessageBox();
    IMessagePrompt& Prompt();

    std::filesystem::path programFolder_;
    std::vector<std::string> arguments_;
    TKIVFile record_;
    int32_t logonTimeout_ = 30000;

    std::unique_ptr<TQtMainLoop> mainLoop_;
    std::unique_ptr<TQtTimerFactory> timers_;
    std::unique_ptr<TMachineSettingsFile> machine_;
    std::unique_ptr<TLinuxMachineFacts> machineFacts_;
    std::unique_ptr<TPosixClientMarker> marker_;
    std::unique_ptr<TSessionWindow> window_;
    std::unique_ptr<TQtCertificatePrompt> certificatePrompt_;
    std::unique_ptr<ICertificatePrompt> certificateRecorder_;  // the end-to-end tests' record of every certificate question
    std::unique_ptr<TFreeRdpControl> control_;
    TRemoteDesktopView* desktopView_ = nullptr;  // owned by the window
    TDesktopFrameWidget* frame_ = nullptr;       // owned by the window; none in seamless mode
    std::unique_ptr<TX11HotKey> hotKey_;         // outlives the form, which gives the key back
    std::unique_ptr<TDeferredProgressView> progress_;
    std::unique_ptr<TKivMessageBoxDialog> messageBox_;
    std::unique_ptr<IMessageBoxView> recorder_;  // the end-to-end tests' record of every box
    std::unique_ptr<TQtMessagePrompt> prompt_;
    std::unique_ptr<IMessagePrompt> promptRecorder_;  // the end-to-end tests' record of every question
    std::unique_ptr<TQtDesktopFacts> desktop_;
    std::unique_ptr<TUnixHandOverFactory> handOver_;
    std::unique_ptr<TProcessStarterPosix> processes_;
    std::unique_ptr<TUsbLibraryLoader> usb_;
    std::unique_ptr<TFolderPluginLoader> folderPlugin_;
    std::unique_ptr<TStatusWindowLink> statusWindow_;
    std::unique_ptr<TTrafficMeterPorts> meterPorts_;
    std::unique_ptr<TLocalCommandServer> commands_;
    std::unique_ptr<TQtTaskbarWindows> taskbar_;  // outlive the form: its records own taskbar windows
    std::unique_ptr<TQtSeamlessSurface> surface_;
    std::unique_ptr<TQtTrayIcons> trayIcons_;  // outlive the form: its tray handler owns icons
    std::unique_ptr<TQtIconFileDecoder> iconFiles_;
    std::unique_ptr<TQtImeWindows> imeWindows_;
    std::unique_ptr<TfrmClientForm> form_;
    std::unique_ptr<TWindowMenuKey> windowMenuKey_;  // seamless mode: asks the form for the window menu
    std::unique_ptr<TSessionEndWatcher> sessionEnd_;
    bool quitting_ = false;
    bool registrationPending_ = false;
};

}  // namespace kiv
