#pragma once
// A small FreeRDP client for the demo server's tests: connects to
// 127.0.0.1, joins CSML, CSMT and CSMP with the client's option bits, can
// send a load-balance routing token of any bytes, sends and receives channel
// messages, and reads pixels of its software-rendered desktop.
#include <freerdp/freerdp.h>
#include <freerdp/svc.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo::test {

struct TTestClientOptions {
    int port = 0;
    std::filesystem::path configDir;  // FreeRDP's own files (known hosts) go here
    std::string user = "demo";
    std::string password = "pw";
    std::string domain;
    std::string alternateShell;
    std::string workingDir;
    TBytes loadBalanceInfo;
    int width = 1024;
    int height = 768;
    int colorDepth = 32;
    bool nla = false;
    bool channels = true;
    bool reconnectOnDrop = false;      // reconnect once when the server drops the connection
    bool rememberCertificate = false;  // store the certificate in the known hosts, as "accept always"
};

class TTestRdpClient {
public:
    explicit TTestRdpClient(TTestClientOptions options);
    ~TTestRdpClient();
    TTestRdpClient(const TTestRdpClient&) = delete;
    TTestRdpClient& operator=(const TTestRdpClient&) = delete;

    // Connects on a worker thread; true once the session is up, false when it failed.
    bool Connect(int timeoutMs = 15000);
    // True when the channel is open (CHANNEL_EVENT_CONNECTED seen and opened).
    bool WaitChannelOpen(const std::string& channel, int timeoutMs = 5000);
    bool Send(const std::string& channel, const TBytes& bytes);
    std::optional<TBytes> WaitMessage(const std::string& channel, int timeoutMs = 5000);
    // Waits until the session has ended (the server closed or dropped it).
    bool WaitDisconnected(int timeoutMs = 10000);
    // Waits until a reconnection after a drop succeeded.
    bool WaitReconnected(int timeoutMs = 10000);
    // 0xRRGGBB of a desktop pixel; polls until `expected` shows or the time is up.
    std::uint32_t WaitPixel(int x, int y, std::uint32_t expected, int timeoutMs = 5000);

    std::uint32_t errorInfo() const;
    std::string certificateFingerprint() const;
    bool changedCertificateSeen() const;

    // FreeRDP's callbacks, on the worker thread.
    BOOL OnPreConnect();
    BOOL OnPostConnect();
    void OnPostDisconnect();
    void OnErrorInfo(std::uint32_t code);
    DWORD OnVerifyCertificate(const char* fingerprint, bool changed);
    void OnChannelInitEvent(LPVOID initHandle, UINT event);
    void OnChannelOpenEvent(DWORD openHandle, UINT event, LPVOID data, UINT32 length, UINT32 total, UINT32 flags);
    static BOOL VCAPITYPE ChannelEntry(PCHANNEL_ENTRY_POINTS_EX entryPoints, PVOID initHandle);

private:
    void Pump();
    std::uint32_t PixelAt(int x, int y);

    TTestClientOptions options_;
    freerdp* instance_ = nullptr;
    std::thread worker_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::mutex frameMutex_;  // held while FreeRDP updates the desktop
    enum class TState { Idle, Connecting, Connected, Failed, Disconnected } state_ = TState::Idle;
    int reconnections_ = 0;
    std::uint32_t errorInfo_ = 0;
    std::string fingerprint_;
    bool changedCertificate_ = false;

    // Channels.
    CHANNEL_ENTRY_POINTS_FREERDP_EX entryPoints_{};
    LPVOID initHandle_ = nullptr;
    std::map<std::string, DWORD> openHandles_;
    std::map<DWORD, std::string> channelNames_;
    std::map<DWORD, TBytes> partial_;
    std::map<std::string, std::deque<TBytes>> received_;
};

}  // namespace kiv::demo::test
