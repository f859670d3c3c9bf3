#include "TestRdpClient.h"

#include <freerdp/channels/channels.h>
#include <freerdp/event.h>
#include <freerdp/gdi/gdi.h>
#include <freerdp/settings.h>
#include <freerdp/svc.h>
#include <winpr/synch.h>

#include <chrono>
#include <cstring>

namespace kiv::demo::test {

namespace {

struct TClientContext {
    rdpContext base;
    TTestRdpClient* self;
};

TTestRdpClient* Self(freerdp* instance) { return reinterpret_cast<TClientContext*>(instance->context)->self; }

struct TChannelSpec {
    const char* name;
    ULONG options;
};
constexpr TChannelSpec kChannels[] = {{"CSML", 0x08200000}, {"CSMT", 0x08800000}, {"CSMP", 0x08200000}};

auto Deadline(int timeoutMs) { return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs); }

VOID VCAPITYPE InitEvent(LPVOID userParam, LPVOID initHandle, UINT event, LPVOID, UINT) {
    static_cast<TTestRdpClient*>(userParam)->OnChannelInitEvent(initHandle, event);
}

VOID VCAPITYPE OpenEvent(LPVOID userParam, DWORD openHandle, UINT event, LPVOID data, UINT32 length, UINT32 total,
                         UINT32 flags) {
    static_cast<TTestRdpClient*>(userParam)->OnChannelOpenEvent(openHandle, event, data, length, total, flags);
}

}  // namespace

TTestRdpClient::TTestRdpClient(TTestClientOptions options) : options_(std::move(options)) {}

TTestRdpClient::~TTestRdpClient() {
    if (instance_) freerdp_abort_connect(instance_);
    if (worker_.joinable()) worker_.join();
    if (instance_) {
        freerdp_context_free(instance_);
        freerdp_free(instance_);
    }
}

BOOL VCAPITYPE TTestRdpClient::ChannelEntry(PCHANNEL_ENTRY_POINTS_EX entryPoints, PVOID initHandle) {
    auto* points = reinterpret_cast<CHANNEL_ENTRY_POINTS_FREERDP_EX*>(entryPoints);
    if (points->cbSize < sizeof(CHANNEL_ENTRY_POINTS_FREERDP_EX) ||
        points->MagicNumber != FREERDP_CHANNEL_MAGIC_NUMBER) {
        return FALSE;
    }
    auto* self = static_cast<TTestRdpClient*>(points->pExtendedData);
    self->entryPoints_ = *points;
    self->initHandle_ = initHandle;
    CHANNEL_DEF defs[3] = {};
    for (int i = 0; i < 3; ++i) {
        std::strncpy(defs[i].name, kChannels[i].name, CHANNEL_NAME_LEN);
        defs[i].options = kChannels[i].options;
    }
    return points->pVirtualChannelInitEx(self, nullptr, initHandle, defs, 3, VIRTUAL_CHANNEL_VERSION_WIN2000,
                                         InitEvent) == CHANNEL_RC_OK;
}

void TTestRdpClient::OnChannelInitEvent(LPVOID initHandle, UINT event) {
    if (event == CHANNEL_EVENT_CONNECTED) {
        for (const TChannelSpec& channel : kChannels) {
            DWORD handle = 0;
            if (entryPoints_.pVirtualChannelOpenEx(initHandle, &handle, const_cast<PCHAR>(channel.name), OpenEvent) ==
                CHANNEL_RC_OK) {
                std::lock_guard lock(mutex_);
                openHandles_[channel.name] = handle;
                channelNames_[handle] = channel.name;
            }
        }
        changed_.notify_all();
    } else if (event == CHANNEL_EVENT_DISCONNECTED) {
        std::map<std::string, DWORD> handles;
        {
            std::lock_guard lock(mutex_);
            handles.swap(openHandles_);
            channelNames_.clear();
            partial_.clear();
        }
        for (const auto& [name, handle] : handles) entryPoints_.pVirtualChannelCloseEx(initHandle, handle);
    }
}

void TTestRdpClient::OnChannelOpenEvent(DWORD openHandle, UINT event, LPVOID data, UINT32 length, UINT32 total,
                                        UINT32 flags) {
    if (event == CHANNEL_EVENT_WRITE_COMPLETE || event == CHANNEL_EVENT_WRITE_CANCELLED) {
        delete static_cast<TBytes*>(data);
        return;
    }
    if (event != CHANNEL_EVENT_DATA_RECEIVED) return;
    std::lock_guard lock(mutex_);
    const auto name = channelNames_.find(openHandle);
    if (name == channelNames_.end()) return;
    TBytes& message = partial_[openHandle];
    if (flags & CHANNEL_FLAG_FIRST) message.clear();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    message.insert(message.end(), bytes, bytes + length);
    if (flags & CHANNEL_FLAG_LAST) {
        if (message.size() == total) received_[name->second].push_back(message);
        message.clear();
        changed_.notify_all();
    }
}

BOOL TTestRdpClient::OnPreConnect() {
    if (options_.channels &&
        freerdp_channels_client_load_ex(instance_->context->channels, instance_->settings, ChannelEntry, this) != 0) {
        return FALSE;
    }
    return TRUE;
}

BOOL TTestRdpClient::OnPostConnect() {
    std::lock_guard lock(frameMutex_);
    if (!gdi_init(instance_, PIXEL_FORMAT_BGRA32)) return FALSE;
    // FreeRDP fails every update whose EndPaint is missing; the pixels are read from the buffer directly.
    instance_->update->BeginPaint = [](rdpContext*) -> BOOL { return TRUE; };
    instance_->update->EndPaint = [](rdpContext*) -> BOOL { return TRUE; };
    return TRUE;
}

void TTestRdpClient::OnPostDisconnect() {
    std::lock_guard lock(frameMutex_);
    gdi_free(instance_);
}

DWORD TTestRdpClient::OnVerifyCertificate(const char* fingerprint, bool changed) {
    std::lock_guard lock(mutex_);
    fingerprint_ = fingerprint ? fingerprint : "";
    if (changed) changedCertificate_ = true;
    return options_.rememberCertificate ? 1 : 2;
}

void TTestRdpClient::OnErrorInfo(std::uint32_t code) {
    std::lock_guard lock(mutex_);
    if (code != 0) errorInfo_ = code;
}

std::uint32_t TTestRdpClient::errorInfo() const {
    std::lock_guard lock(mutex_);
    return errorInfo_;
}

bool TTestRdpClient::changedCertificateSeen() const {
    std::lock_guard lock(mutex_);
    return changedCertificate_;
}

std::string TTestRdpClient::certificateFingerprint() const {
    std::lock_guard lock(mutex_);
    return fingerprint_;
}

bool TTestRdpClient::Connect(int timeoutMs) {
    instance_ = freerdp_new();
    if (!instance_) return false;
    instance_->ContextSize = sizeof(TClientContext);
    instance_->PreConnect = [](freerdp* instance) { return Self(instance)->OnPreConnect(); };
    instance_->PostConnect = [](freerdp* instance) { return Self(instance)->OnPostConnect(); };
    instance_->PostDisconnect = [](freerdp* instance) { Self(instance)->OnPostDisconnect(); };
    instance_->Authenticate = [](freerdp*, char**, char**, char**) -> BOOL { return TRUE; };
    instance_->VerifyCertificateEx = [](freerdp* instance, const char*, UINT16, const char*, const char*, const char*,
                                        const char* fingerprint,
                                        DWORD) { return Self(instance)->OnVerifyCertificate(fingerprint, false); };
    instance_->VerifyChangedCertificateEx = [](freerdp* instance, const char*, UINT16, const char*, const char*,
                                               const char*, const char* fingerprint, const char*, const char*,
                                               const char*, DWORD) {
        return Self(instance)->OnVerifyCertificate(fingerprint, true);
    };
    if (!freerdp_context_new(instance_)) return false;
    reinterpret_cast<TClientContext*>(instance_->context)->self = this;
    // A failed connect forgets the error info it received; the event keeps it.
    PubSub_SubscribeErrorInfo(instance_->context->pubSub, [](void* context, ErrorInfoEventArgs* e) {
        reinterpret_cast<TClientContext*>(context)->self->OnErrorInfo(e->code);
    });

    rdpSettings* settings = instance_->settings;
    freerdp_settings_set_string(settings, FreeRDP_ServerHostname, "127.0.0.1");
    freerdp_settings_set_uint32(settings, FreeRDP_ServerPort, static_cast<UINT32>(options_.port));
    freerdp_settings_set_string(settings, FreeRDP_Username, options_.user.c_str());
    freerdp_settings_set_string(settings, FreeRDP_Password, options_.password.c_str());
    if (!options_.domain.empty()) freerdp_settings_set_string(settings, FreeRDP_Domain, options_.domain.c_str());
    if (!options_.alternateShell.empty()) {
        freerdp_settings_set_string(settings, FreeRDP_AlternateShell, options_.alternateShell.c_str());
    }
    if (!options_.workingDir.empty()) {
        freerdp_settings_set_string(settings, FreeRDP_ShellWorkingDirectory, options_.workingDir.c_str());
    }
    freerdp_settings_set_string(settings, FreeRDP_ConfigPath, options_.configDir.c_str());
    freerdp_settings_set_uint32(settings, FreeRDP_DesktopWidth, static_cast<UINT32>(options_.width));
    freerdp_settings_set_uint32(settings, FreeRDP_DesktopHeight, static_cast<UINT32>(options_.height));
    freerdp_settings_set_uint32(settings, FreeRDP_ColorDepth, static_cast<UINT32>(options_.colorDepth));
    freerdp_settings_set_bool(settings, FreeRDP_SoftwareGdi, TRUE);
    freerdp_settings_set_bool(settings, FreeRDP_NlaSecurity, options_.nla ? TRUE : FALSE);
    freerdp_settings_set_bool(settings, FreeRDP_TlsSecurity, TRUE);
    freerdp_settings_set_bool(settings, FreeRDP_RdpSecurity, FALSE);
    if (!options_.loadBalanceInfo.empty()) {
        // No setter for it in this FreeRDP: the settings own a malloc'd copy.
        settings->LoadBalanceInfo = static_cast<BYTE*>(malloc(options_.loadBalanceInfo.size()));
        std::memcpy(settings->LoadBalanceInfo, options_.loadBalanceInfo.data(), options_.loadBalanceInfo.size());
        settings->LoadBalanceInfoLength = static_cast<UINT32>(options_.loadBalanceInfo.size());
    }
    {
        std::lock_guard lock(mutex_);
        state_ = TState::Connecting;
    }
    worker_ = std::thread([this] { Pump(); });
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, Deadline(timeoutMs), [this] { return state_ != TState::Connecting; });
    return state_ == TState::Connected;
}

void TTestRdpClient::Pump() {
    const bool connected = freerdp_connect(instance_);
    {
        std::lock_guard lock(mutex_);
        state_ = connected ? TState::Connected : TState::Failed;
        if (!connected && freerdp_error_info(instance_) != 0) errorInfo_ = freerdp_error_info(instance_);
    }
    changed_.notify_all();
    if (!connected) return;
    for (;;) {
        HANDLE handles[MAXIMUM_WAIT_OBJECTS];
        const DWORD count = freerdp_get_event_handles(instance_->context, handles, MAXIMUM_WAIT_OBJECTS);
        if (count == 0) break;
        WaitForMultipleObjects(count, handles, FALSE, 100);
        if (freerdp_shall_disconnect(instance_)) break;
        bool ok = false;
        {
            std::lock_guard frame(frameMutex_);
            ok = freerdp_check_event_handles(instance_->context);
        }
        if (ok) continue;
        const std::uint32_t errorInfo = freerdp_error_info(instance_);
        if (errorInfo != 0) OnErrorInfo(errorInfo);
        if (options_.reconnectOnDrop && reconnections_ == 0 && errorInfo == 0 && freerdp_reconnect(instance_)) {
            std::lock_guard lock(mutex_);
            ++reconnections_;
            changed_.notify_all();
            continue;
        }
        break;
    }
    freerdp_disconnect(instance_);
    {
        std::lock_guard lock(mutex_);
        state_ = TState::Disconnected;
    }
    changed_.notify_all();
}

bool TTestRdpClient::WaitChannelOpen(const std::string& channel, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, Deadline(timeoutMs), [&] { return openHandles_.count(channel) > 0; });
}

bool TTestRdpClient::Send(const std::string& channel, const TBytes& bytes) {
    DWORD handle = 0;
    {
        std::lock_guard lock(mutex_);
        const auto found = openHandles_.find(channel);
        if (found == openHandles_.end()) return false;
        handle = found->second;
    }
    auto* copy = new TBytes(bytes);
    if (entryPoints_.pVirtualChannelWriteEx(initHandle_, handle, copy->data(), static_cast<ULONG>(copy->size()),
                                            copy) != CHANNEL_RC_OK) {
        delete copy;
        return false;
    }
    return true;
}

std::optional<TBytes> TTestRdpClient::WaitMessage(const std::string& channel, int timeoutMs) {
    std::unique_lock lock(mutex_);
    auto& queue = received_[channel];
    if (!changed_.wait_until(lock, Deadline(timeoutMs), [&] { return !queue.empty(); })) return std::nullopt;
    TBytes message = std::move(queue.front());
    queue.pop_front();
    return message;
}

bool TTestRdpClient::WaitDisconnected(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, Deadline(timeoutMs), [this] { return state_ == TState::Disconnected; });
}

bool TTestRdpClient::WaitReconnected(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, Deadline(timeoutMs), [this] { return reconnections_ > 0; });
}

std::uint32_t TTestRdpClient::PixelAt(int x, int y) {
    std::lock_guard frame(frameMutex_);
    const rdpGdi* gdi = instance_->context->gdi;
    if (!gdi || !gdi->primary_buffer || x < 0 || y < 0 || x >= gdi->width || y >= gdi->height) return 0xFFFFFFFF;
    const BYTE* p = gdi->primary_buffer + static_cast<std::size_t>(y) * gdi->stride + static_cast<std::size_t>(x) * 4;
    return (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
}

std::uint32_t TTestRdpClient::WaitPixel(int x, int y, std::uint32_t expected, int timeoutMs) {
    const auto deadline = Deadline(timeoutMs);
    std::uint32_t seen = PixelAt(x, y);
    while (seen != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        seen = PixelAt(x, y);
    }
    return seen;
}

}  // namespace kiv::demo::test
