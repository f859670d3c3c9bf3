#include "platform/freerdp/FreeRdpChannels.h"

#include <freerdp/channels/channels.h>

#include <cstring>

#include "infra/DebugLog.h"

namespace kiv {

TFreeRdpChannels::TFreeRdpChannels(std::vector<TChannelDefinition> definitions, TMessageHandler onMessage)
    : definitions_(std::move(definitions)), onMessage_(std::move(onMessage)) {
    channels_.reserve(definitions_.size());
    for (const auto& definition : definitions_) {
        TChannel channel;
        channel.definition = definition;
        channels_.push_back(std::move(channel));
    }
}

TFreeRdpChannels::~TFreeRdpChannels() = default;

bool TFreeRdpChannels::Register(rdpContext* context) {
    if (channels_.empty()) return true;
    const int status = freerdp_channels_client_load_ex(context->channels, context->settings, &TFreeRdpChannels::Entry,
                                                       this);
    std::lock_guard lock(mutex_);
    return status == 0 && initHandle_ != nullptr;
}

BOOL VCAPITYPE TFreeRdpChannels::Entry(PCHANNEL_ENTRY_POINTS_EX entryPoints, PVOID initHandle) {
    auto* freerdpPoints = reinterpret_cast<CHANNEL_ENTRY_POINTS_FREERDP_EX*>(entryPoints);
    if (!freerdpPoints || freerdpPoints->cbSize < sizeof(CHANNEL_ENTRY_POINTS_FREERDP_EX) ||
        freerdpPoints->MagicNumber != FREERDP_CHANNEL_MAGIC_NUMBER || !freerdpPoints->pExtendedData)
        return FALSE;
    auto* self = static_cast<TFreeRdpChannels*>(freerdpPoints->pExtendedData);
    return self->Initialise(entryPoints, initHandle) ? TRUE : FALSE;
}

bool TFreeRdpChannels::Initialise(PCHANNEL_ENTRY_POINTS_EX entryPoints, PVOID initHandle) {
    std::vector<CHANNEL_DEF> defs(channels_.size());
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        std::memset(&defs[i], 0, sizeof(CHANNEL_DEF));
        std::strncpy(defs[i].name, channels_[i].definition.name.c_str(), CHANNEL_NAME_LEN);
        defs[i].options = channels_[i].definition.options;
    }
    std::lock_guard lock(mutex_);
    std::memcpy(&entryPoints_, entryPoints, sizeof(CHANNEL_ENTRY_POINTS_FREERDP_EX));
    const UINT rc = entryPoints_.pVirtualChannelInitEx(this, nullptr, initHandle, defs.data(),
                                                       static_cast<INT>(defs.size()), VIRTUAL_CHANNEL_VERSION_WIN2000,
                                                       &TFreeRdpChannels::InitEvent);
    if (rc != CHANNEL_RC_OK) {
        if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpChannels.Initialise]VirtualChannelInitEx=" + std::to_string(rc));
        return false;
    }
    initHandle_ = initHandle;
    usable_ = true;
    return true;
}

VOID VCAPITYPE TFreeRdpChannels::InitEvent(LPVOID userParam, LPVOID, UINT event, LPVOID, UINT) {
    auto* self = static_cast<TFreeRdpChannels*>(userParam);
    if (!self) return;
    switch (event) {
        case CHANNEL_EVENT_CONNECTED:
            self->OpenAll();
            break;
        case CHANNEL_EVENT_DISCONNECTED:
            self->CloseOpenHandles();
            break;
        case CHANNEL_EVENT_TERMINATED: {
            std::lock_guard lock(self->mutex_);
            self->usable_ = false;
            for (auto& channel : self->channels_) channel.open = false;
            break;
        }
        default:
            break;
    }
}

void TFreeRdpChannels::OpenAll() {
    std::lock_guard lock(mutex_);
    if (!usable_) return;
    for (auto& channel : channels_) {
        channel.reassembler.Reset();
        if (channel.open) continue;
        std::string name = channel.definition.name;
        DWORD handle = 0;
        const UINT rc = entryPoints_.pVirtualChannelOpenEx(initHandle_, &handle, name.data(), &TFreeRdpChannels::OpenEvent);
        if (rc == CHANNEL_RC_OK) {
            channel.openHandle = handle;
            channel.open = true;
        } else if (DebugSwitches[dmMain]) {
            WriteLog("[TFreeRdpChannels.OpenAll]" + name + " VirtualChannelOpenEx=" + std::to_string(rc));
        }
    }
}

void TFreeRdpChannels::CloseOpenHandles() {
    std::lock_guard lock(mutex_);
    for (auto& channel : channels_) {
        channel.reassembler.Reset();
        if (!channel.open) continue;
        channel.open = false;
        if (usable_) entryPoints_.pVirtualChannelCloseEx(initHandle_, channel.openHandle);
    }
}

void TFreeRdpChannels::CloseAll() { CloseOpenHandles(); }

VOID VCAPITYPE TFreeRdpChannels::OpenEvent(LPVOID userParam, DWORD openHandle, UINT event, LPVOID data,
                                           UINT32 dataLength, UINT32 totalLength, UINT32 dataFlags) {
    auto* self = static_cast<TFreeRdpChannels*>(userParam);
    if (!self) return;
    switch (event) {
        case CHANNEL_EVENT_DATA_RECEIVED:
            self->Received(openHandle, static_cast<const uint8_t*>(data), dataLength, totalLength, dataFlags);
            break;
        case CHANNEL_EVENT_WRITE_COMPLETE:
        case CHANNEL_EVENT_WRITE_CANCELLED:
            self->WriteFinished(data);
            break;
        default:
            break;
    }
}

void TFreeRdpChannels::Received(DWORD openHandle, const uint8_t* data, UINT32 length, UINT32 total, UINT32 flags) {
    TChannel* target = nullptr;
    {
        std::lock_guard lock(mutex_);
        for (auto& channel : channels_)
            if (channel.open && channel.openHandle == openHandle) target = &channel;
    }
    if (!target || (length > 0 && !data)) return;
    // Only the connection's thread touches the reassemblers, so no lock is held
    // while the message is put together and handed on.
    const std::span<const uint8_t> chunk(data, data ? length : 0);
    const TChunkResult result = target->reassembler.AddChunk(chunk, total, flags);
    if (result == TChunkResult::Complete) {
        onMessage_(target->definition.name, target->reassembler.TakeMessage());
    } else if (result == TChunkResult::Dropped && DebugSwitches[dmMain]) {
        WriteLog("[TFreeRdpChannels.Received]" + target->definition.name + " chunk dropped, total=" +
                 std::to_string(total) + " flags=" + std::to_string(flags));
    }
}

bool TFreeRdpChannels::Send(const std::string& channelName, const TBytes& message) {
    if (message.empty() || message.size() > 0xFFFFFFFFu) return false;
    std::lock_guard lock(mutex_);
    if (!usable_) return false;
    for (auto& channel : channels_) {
        if (channel.definition.name != channelName) continue;
        if (!channel.open) return false;
        auto copy = std::make_unique<TBytes>(message);
        TBytes* key = copy.get();
        pendingWrites_.emplace(key, std::move(copy));
        const UINT rc = entryPoints_.pVirtualChannelWriteEx(initHandle_, channel.openHandle, key->data(),
                                                            static_cast<ULONG>(key->size()), key);
        if (rc != CHANNEL_RC_OK) {
            pendingWrites_.erase(key);
            return false;
        }
        return true;
    }
    return false;
}

void TFreeRdpChannels::WriteFinished(void* userData) {
    std::lock_guard lock(mutex_);
    pendingWrites_.erase(userData);
}

bool TFreeRdpChannels::IsOpen(const std::string& channelName) const {
    std::lock_guard lock(mutex_);
    for (const auto& channel : channels_)
        if (channel.definition.name == channelName) return channel.open;
    return false;
}

std::size_t TFreeRdpChannels::PendingWrites() const {
    std::lock_guard lock(mutex_);
    return pendingWrites_.size();
}

}  // namespace kiv
