#include "app/KivClientApp.h"

#include <chrono>

#include "app/CertificatePromptRecorder.h"
#include "app/MessageBoxRecorder.h"
#include "app/MessagePromptRecorder.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "channels/Watermark.h"
#include "infra/DebugLog.h"
#include "infra/IniImage.h"
#include "infra/LanguageStyle.h"
#include "infra/TextFormat.h"
#include "launch/ConnectionFileReader.h"
#include "launch/FileTypeRegistration.h"
#include "launch/VdebugIni.h"
#include "launch/PortalAnswer.h"
#include "launch/PortalFetch.h"
#include "platform/freerdp/FreeRdpControl.h"
#include "platform/linux/FolderPluginLoader.h"
#include "platform/linux/LinuxMachineFacts.h"
#include "platform/linux/LocalCommandServer.h"
#include "platform/linux/MachineSettingsFile.h"
#include "platform/linux/ProcessControl.h"
#include "platform/linux/ProcessStarterPosix.h"
#include "platform/linux/ProgramFolder.h"
#include "platform/linux/StatusWindowLink.h"
#include "platform/linux/XdgFileTypes.h"
#include "platform/linux/UnixHandOver.h"
#include "platform/linux/UsbLibraryLoader.h"
#include "platform/linux/interpose/SocketInterposer.h"
#include "platform/qt/DeferredProgressView.h"
#include "platform/qt/DesktopFrameWidget.h"
#include "platform/qt/IconFileReader.h"
#include "platform/qt/KivMessageBoxDialog.h"
#include "platform/qt/QtCertificatePrompt.h"
#include "platform/qt/QtDesktopFacts.h"
#include "platform/qt/QtImeWindows.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/qt/QtMessagePrompt.h"
#include "platform/qt/QtTimerFactory.h"
#include "platform/qt/RemoteDesktopView.h"
#include "platform/qt/SessionEndWatcher.h"
#include "platform/qt/SessionWindow.h"
#include "platform/qt/TaskbarWindowClip.h"
#include "platform/qt/TaskbarWindowSet.h"
#include "platform/qt/WindowMenuKey.h"
#include "platform/qt/TrayIconSet.h"
#include "platform/qt/WatermarkOverlay.h"
#include "platform/qt/X11Atoms.h"
#include "platform/qt/X11HotKey.h"
#include "infra/CltNetSpd.h"
#include "session/ClientForm.h"
#include "session/FingerPrint.h"
#include "proxy/Proxy.h"
#include "session/WindowPlacement.h"

namespace kiv {

namespace {

std::string Lookup(std::string_view key) { return LanguageStyle() ? LanguageStyle()->GetText(key) : std::string(); }

// The requests of the control socket: a number (0x1850 ... or decimal) with an
// optional text, or the name of a window event.
struct TControlRequest {
    uint32_t message = 0;
    std::string name;
    std::string text;
};

TControlRequest ParseControlLine(const std::string& line) {
    TControlRequest request;
    const auto blank = line.find(' ');
    const std::string head = line.substr(0, blank);
    request.text = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    const int32_t number = StrToIntDef(head, -1);
    if (number >= 0) request.message = static_cast<uint32_t>(number);
    else request.name = head;
    return request;
}

}  // namespace

TKivClientApp::TKivClientApp(std::filesystem::path programFolder, std::vector<std::string> arguments)
    : programFolder_(std::move(programFolder)), arguments_(std::move(arguments)) {
    mainLoop_ = std::make_unique<TQtMainLoop>();
    timers_ = std::make_unique<TQtTimerFactory>();
    machine_ = std::make_unique<TMachineSettingsFile>();
    machineFacts_ = std::make_unique<TLinuxMachineFacts>();
    marker_ = std::make_unique<TPosixClientMarker>();
    window_ = std::make_unique<TSessionWindow>();
    certificatePrompt_ = std::make_unique<TQtCertificatePrompt>(window_.get());
    if (const char* log = std::getenv("KIV_TEST_MESSAGE_LOG"); log && *log)
        certificateRecorder_ = std::make_unique<TCertificatePromptRecorder>(*certificatePrompt_, log);
    TFreeRdpControlOptions controlOptions;
    if (const auto localIni = TIniImage::FromFile(programFolder_ / "KivClient.ini"))
        controlOptions.trustFirstCertificate = localIni->ReadBool("Local Property", "TrustFirstCertificate", false);
    control_ = std::make_unique<TFreeRdpControl>(
        *mainLoop_,
        certificateRecorder_ ? static_cast<ICertificatePrompt&>(*certificateRecorder_) : *certificatePrompt_,
        controlOptions);
    desktopView_ = new TRemoteDesktopView(control_.get());
    window_->SetContent(desktopView_);
    progress_ = std::make_unique<TDeferredProgressView>(window_.get());  // built when first shown
    messageBox_ = std::make_unique<TKivMessageBoxDialog>();
    if (const char* log = std::getenv("KIV_TEST_MESSAGE_LOG"); log && *log)
        recorder_ = std::make_unique<TMessageBoxRecorder>(*messageBox_, log);
    prompt_ = std::make_unique<TQtMessagePrompt>();
    if (const char* log = std::getenv("KIV_TEST_MESSAGE_LOG"); log && *log)
        promptRecorder_ = std::make_unique<TMessagePromptRecorder>(*prompt_, log);
    desktop_ = std::make_unique<TQtDesktopFacts>();
    handOver_ = std::make_unique<TUnixHandOverFactory>(*mainLoop_);
    processes_ = std::make_unique<TProcessStarterPosix>();
    usb_ = std::make_unique<TUsbLibraryLoader>();
    folderPlugin_ = std::make_unique<TFolderPluginLoader>();
    statusWindow_ = std::make_unique<TStatusWindowLink>(*processes_, programFolder_ / "kiv-status");
    meterPorts_ = std::make_unique<TTrafficMeterPorts>(TTrafficMeterPorts{
        *timers_,
        [] {
            return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
        },
        &TSocketInterposer::Instance(), statusWindow_.get(), programFolder_ / "KivClient.ini"});
    taskbar_ = std::make_unique<TQtTaskbarWindows>();
    surface_ = std::make_unique<TQtSeamlessSurface>(*window_);
    trayIcons_ = std::make_unique<TQtTrayIcons>();
    iconFiles_ = std::make_unique<TQtIconFileDecoder>();
    imeWindows_ = std::make_unique<TQtImeWindows>(*window_, *desktopView_, surface_.get(),
                                                  ReadVdebugSetting(programFolder_, "showrdp", 1) == 0);
    commands_ = std::make_unique<TLocalCommandServer>(*mainLoop_, [this](const std::string& line) { OnControlLine(line); });
}

TKivClientApp::~TKivClientApp() = default;

IMessageBoxView& TKivClientApp::MessageBox() {
    return recorder_ ? static_cast<IMessageBoxView&>(*recorder_) : static_cast<IMessageBoxView&>(*messageBox_);
}

IMessagePrompt& TKivClientApp::Prompt() {
    return promptRecorder_ ? static_cast<IMessagePrompt&>(*promptRecorder_) : static_cast<IMessagePrompt&>(*prompt_);
}

TClientFacts TKivClientApp::ClientFacts() {
    const auto localIni = programFolder_ / "KivClient.ini";
    return TClientFacts{GetComputerNameText(*machineFacts_), GetLocalIPs(*machineFacts_),
                        GetFingerPrint(*machineFacts_, localIni)};
}

void TKivClientApp::ShowStartupError(const std::string& text) {
    // The error must not bring a taskbar entry of its own.
    window_->SetToolWindowStyle();
    ShowKivMessageBox(MessageBox(), text, Lookup("ErrorCap"), nullptr, 2, ClientFacts());
    CloseMainWindow();
}

void TKivClientApp::StartUp() {
    if (!marker_->Open()) {
        ShowStartupError("Can not create ShareMemory");
        return;
    }
    commands_->Start();
    TCommandLine line;
    if (!ReadSettings(line)) return;
    StartSession(line);
}

bool TKivClientApp::ReadSettings(TCommandLine& line) {
    const TStartupTarget target = InterpretCommandLine(arguments_, line);
    switch (target.kind) {
        case TStartupTarget::Kind::Error:
            if (target.errorKey.empty()) {
                ShowStartupError(target.errorText);
            } else {
                // The document is named before the window takes the tool style.
                ShowKivMessageBox(MessageBox(), Format(Lookup(target.errorKey), {std::string_view(target.errorText)}),
                                  Lookup("ErrorCap"), nullptr, 2, ClientFacts());
                CloseMainWindow();
            }
            return false;
        case TStartupTarget::Kind::Link: {
            const auto localIni = programFolder_ / "KivClient.ini";
            const TClientIdentity identity = ReadClientIdentity(*machineFacts_, localIni);
            std::vector<std::string> lines;
            const bool fetched = GetKivFromServer(target.address, lines, identity, ReadPortalFetchOptions(localIni));
            const TPortalOutcome outcome = HandlePortalAnswer(fetched, lines, record_, *processes_, programFolder_,
                                                              [](std::string_view key) { return Lookup(key); });
            if (!outcome.carryOn) {
                if (outcome.showMessage) {
                    window_->SetToolWindowStyle();
                    ShowKivMessageBox(MessageBox(), outcome.text, outcome.caption, nullptr,
                                      outcome.iconIndex, ClientFacts());
                }
                CloseMainWindow();
                return false;
            }
            break;
        }
        case TStartupTarget::Kind::ConnectionFile: {
            const std::optional<TIniImage> image = TIniImage::FromFile(target.connectionFile);
            if (ReadConnectionFile(image ? &*image : nullptr, record_) != 0) {
                ShowStartupError(Lookup("ErrReadKIV"));
                return false;
            }
            break;
        }
    }
    logonTimeout_ = ApplyLocalProperties(record_, programFolder_ / "KivClient.ini");
    ApplyScreenFullSize(record_, kUnplacedWindowWidth, kUnplacedWindowHeight);
    ApplyCommandLineOverrides(record_, line);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        ApplySeamlessDesktopSize(record_, screen->geometry().width(), screen->geometry().height());
    return true;
}

void TKivClientApp::StartSession(const TCommandLine& line) {
    const auto localIni = TIniImage::FromFile(programFolder_ / "KivClient.ini").value_or(TIniImage::FromText(""));
    TClientFormSettings settings;
    settings.rdp.KivFileisEn = localIni.ReadBool("Local Property", "KivFileisEn", true);
    settings.rdp.EnableNLA = localIni.ReadBool("Local Property", "EnableNLA", false);
    settings.rdp.ClientCharset = LanguageStyle() ? LanguageStyle()->ReadValue("FONT", "charset", "2052") : "2052";
    settings.monitorMode = NormaliseMonitorMode(localIni.ReadInteger("monitor", "defaultmonitor", -1),
                                                static_cast<int>(QGuiApplication::screens().size()));
    settings.hotKeyIndex = NormaliseHotKeyIndex(localIni.ReadInteger("monitor", "hotkey", 6));
    settings.logonTimeout = logonTimeout_;
    settings.swapMouseButtons = PointerButtonsSwapped();
    settings.programFolder = programFolder_;
    // The watermark lies over the view, whatever input method the session uses.
    if (const std::string watermark = WatermarkDisplayText(record_); !watermark.empty())
        new TWatermarkOverlay(desktopView_, QString::fromStdString(watermark));

    TClientFormPorts ports{*control_, *window_, *progress_, MessageBox(), Prompt(), *timers_, *this, *machine_,
                           *desktop_, *handOver_, *processes_};
    ports.createPortMapper = [] { return std::make_unique<TProxy>(); };
    ports.usb = usb_.get();
    ports.taskbarWindows = taskbar_.get();
    ports.seamlessSurface = surface_.get();
    ports.iconDecoder = taskbar_.get();
    ports.trayIcons = trayIcons_.get();
    ports.trayIconDecoder = iconFiles_.get();
    ports.imeWindows = imeWindows_.get();
    ports.commands = processes_.get();
    ports.fingerPrint = [this] { return GetFingerPrint(*machineFacts_, programFolder_ / "KivClient.ini"); };
    ports.runRepairTool = [this](const std::string& mode) { return RunRepairTool(programFolder_, mode); };
    // The registration reads and compares its files: done a turn of the loop
    // later, once the connection is under way, and at the latest when the client ends.
    ports.registerFileTypes = [this] {
        registrationPending_ = true;
        QTimer::singleShot(0, this, [this] { RegisterFileTypes(); });
    };
    // Read when a box shows them, not at every start.
    ports.clientFacts = [this] { return ClientFacts(); };
    ports.trafficMeter = meterPorts_.get();
    ports.folderPlugin = folderPlugin_.get();
    // Seamless mode: the desktop follows the screen's size where the server allows it.
    if (record_.ScreenFull == 3) control_->SetDisplayControl(true);
    if (record_.ScreenFull != 3) {
        // A whole remote desktop gets the frame: toolbar, border, device menu;
        // the desktop follows the view's size where the server allows it.
        frame_ = new TDesktopFrameWidget();
        frame_->SetDesktopView(desktopView_);
        desktopView_->SetScaleToFit(true);
        window_->SetContent(frame_);
        control_->SetDisplayControl(true);
        if (OnX11()) hotKey_ = std::make_unique<TX11HotKey>();
        ports.frameView = frame_;
        ports.hotKey = hotKey_.get();
    }
    form_ = std::make_unique<TfrmClientForm>(ports, record_, settings);
    window_->placement = [this, monitorMode = settings.monitorMode] {
        return PlaceWindow(record_, monitorMode, QtMonitors());
    };
    window_->onCloseRequested = [this] { form_->OnSessionWindowClose(); };
    if (record_.ScreenFull == 3) {
        windowMenuKey_ = std::make_unique<TWindowMenuKey>(
            *window_, [this] { return form_ && form_->MsgSml() && form_->MsgSml()->OpenWindowMenu(); });
        // The remote desktop covers the screen: when the screen changes its size,
        // the window follows it and asks the server for a desktop of the new size.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            connect(screen, &QScreen::geometryChanged, this, [this] {
                if (window_->isVisible()) window_->PlaceWindow();
                desktopView_->FollowOwnSize();
            });
    }
    progress_->SetOnCancel([this] { form_->OnProgressCancel(); });
    sessionEnd_ = std::make_unique<TSessionEndWatcher>(
        [this] {
            taskbar_->EndSession();
            form_->OnEndSession();
        },
                                                       [this] { form_->OnSuspendRequest(); });
    // The folder plug-in and the traffic meter are handed the window's id during the set-up.
    form_->SetWindowHandle(static_cast<TWindowHandle>(window_->winId()));
    form_->SetUp(line);
    if (DebugSwitches[dmMain]) WriteLog("[TKivClientApp]session window set up");
}

void TKivClientApp::RegisterFileTypes() {
    if (!registrationPending_) return;
    registrationPending_ = false;
    RegisterFileTypesForUser(BuildFileTypeRegistration(ProgramPath().string(), Lookup("KeyDes")),
                             programFolder_ / "Images" / "kivclient.svg", TRegistrationWait::InBackground);
}

void TKivClientApp::OnControlLine(const std::string& line) {
    if (!form_) return;
    const TControlRequest request = ParseControlLine(line);
    if (request.name == "WM_CLOSE") form_->OnCloseQuery();
    else if (request.name == "WM_QUERYENDSESSION") form_->OnEndSession();
    else if (request.name == "WM_POWERBROADCAST") form_->OnSuspendRequest();
    else if (request.name == "WM_MSG_LOGOFF_DEBUG") form_->OnLogoffDebug();
    else if (request.name == "WM_MSG_DISCONNECT_DEBUG") form_->OnDisconnectDebug();
    else if (request.name.empty()) form_->OnWindowMessage(request.message, request.text);
}

void TKivClientApp::CloseMainWindow() {
    if (quitting_) return;
    quitting_ = true;
    // Modal boxes that are open end with the loop.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void TKivClientApp::Terminate() { CloseMainWindow(); }

void TKivClientApp::KillUserProcesses(const std::string& name) { kiv::KillUserProcesses(name); }

void TKivClientApp::Shutdown() {
    RegisterFileTypes();
    sessionEnd_.reset();
    if (form_) form_->Shutdown();
    commands_.reset();
    windowMenuKey_.reset();
    // The view (the window's) shows the control's frames: it lets go of the
    // control before the control goes; the window itself lives on a little.
    if (desktopView_) desktopView_->SetDisplay(nullptr);
    // Ending the control waits for the connection's close, while the form's
    // traffic meter still counts.
    control_.reset();
    form_.reset();  // before the taskbar windows it owns records of
    progress_.reset();
    marker_->Close();
}

}  // namespace kiv
