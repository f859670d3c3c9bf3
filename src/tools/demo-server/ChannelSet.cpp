#include "tools/demo-server/ChannelSet.h"

#include <freerdp/channels/wtsvc.h>
#include <winpr/wtsapi.h>

#include <algorithm>
#include <cstdlib>

namespace kiv::demo {

TChannelSet::~TChannelSet() { CloseAll(); }

void TChannelSet::CloseAll() {
    for (const TChannel& channel : channels_) WTSVirtualChannelClose(channel.handle);
    channels_.clear();
}

std::vector<TJoinedChannel> TChannelSet::OpenJoined(freerdp_peer* peer, HANDLE manager) {
    std::vector<TJoinedChannel> joined;
    size_t count = 0;
    char** names = WTSGetAcceptedChannelNames(peer, &count);
    if (!names) return joined;
    for (size_t i = 0; i < count; ++i) {
        const std::string name = names[i] ? names[i] : "";
        if (name.empty() || !WTSIsChannelJoinedByName(peer, name.c_str())) continue;
        TJoinedChannel record{name, WTSChannelGetOptions(peer, WTSChannelGetId(peer, name.c_str())), false};
        if (name != "drdynvc") {
            TChannel channel;
            channel.name = name;
            channel.handle = WTSVirtualChannelOpen(manager, WTS_CURRENT_SESSION, channel.name.data());
            void* buffer = nullptr;
            DWORD size = 0;
            if (channel.handle && WTSVirtualChannelQuery(channel.handle, WTSVirtualEventHandle, &buffer, &size) &&
                buffer && size == sizeof(HANDLE)) {
                channel.event = *static_cast<HANDLE*>(buffer);
            }
            if (buffer) WTSFreeMemory(buffer);
            if (channel.handle && channel.event) {
                channels_.push_back(channel);
                record.opened = true;
            } else if (channel.handle) {
                WTSVirtualChannelClose(channel.handle);
            }
        }
        joined.push_back(std::move(record));
    }
    // The array is ours, the names in it are FreeRDP's.
    std::free(names);
    return joined;
}

std::vector<HANDLE> TChannelSet::EventHandles() const {
    std::vector<HANDLE> handles;
    for (const TChannel& channel : channels_) handles.push_back(channel.event);
    return handles;
}

std::vector<std::pair<std::string, TBytes>> TChannelSet::ReadAll() {
    std::vector<std::pair<std::string, TBytes>> messages;
    for (const TChannel& channel : channels_) {
        for (;;) {
            ULONG size = 0;
            if (!WTSVirtualChannelRead(channel.handle, 0, nullptr, 0, &size)) break;
            // A one-byte buffer also takes an empty message off the queue.
            TBytes message(std::max<ULONG>(size, 1));
            ULONG read = 0;
            if (!WTSVirtualChannelRead(channel.handle, 0, reinterpret_cast<PCHAR>(message.data()),
                                       static_cast<ULONG>(message.size()), &read)) {
                break;
            }
            message.resize(std::min<std::size_t>(read, message.size()));
            messages.emplace_back(channel.name, std::move(message));
        }
    }
    return messages;
}

TChannelWrite TChannelSet::Write(const std::string& name, const TBytes& bytes) {
    const auto channel =
        std::find_if(channels_.begin(), channels_.end(), [&](const auto& c) { return c.name == name; });
    if (channel == channels_.end()) return TChannelWrite::NotJoined;
    ULONG written = 0;
    // The manager copies the bytes before it returns.
    if (!WTSVirtualChannelWrite(channel->handle, reinterpret_cast<PCHAR>(const_cast<std::uint8_t*>(bytes.data())),
                                static_cast<ULONG>(bytes.size()), &written)) {
        return TChannelWrite::Refused;
    }
    return TChannelWrite::Queued;
}

}  // namespace kiv::demo
