#pragma once
// The server shell's static virtual channels on one FreeRDP connection. All of
// them are registered through one channel entry (the library skips an entry it
// has seen before), opened when the library reports the channels connected,
// and closed again when it reports them disconnected, so that a reconnection can
// open them anew. Received chunks are put back together per channel and handed
// on as whole messages; a message sent from the GUI thread is copied and the
// copy lives until the library reports the write completed or cancelled.
#include <freerdp/freerdp.h>
#include <freerdp/svc.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "channels/ChannelReassembler.h"
#include "session/ControlSettings.h"

namespace kiv {

class TFreeRdpChannels {
public:
    using TMessageHandler = std::function<void(const std::string& channel, TBytes message)>;

    // onMessage runs on the connection's thread.
    TFreeRdpChannels(std::vector<TChannelDefinition> definitions, TMessageHandler onMessage);
    ~TFreeRdpChannels();
    TFreeRdpChannels(const TFreeRdpChannels&) = delete;
    TFreeRdpChannels& operator=(const TFreeRdpChannels&) = delete;

    // In PreConnect. False when the library refused the channels.
    bool Register(rdpContext* context);

    // Any thread. False when the channel is unknown or not open, or the library
    // would not queue the write.
    bool Send(const std::string& channel, const TBytes& message);

    // Connection thread, before the connection is torn down: no more sends.
    void CloseAll();

    bool IsOpen(const std::string& channel) const;
    std::size_t PendingWrites() const;

private:
    struct TChannel {
        TChannelDefinition definition;
        DWORD openHandle = 0;
        bool open = false;
        TChannelReassembler reassembler;
    };

    static BOOL VCAPITYPE Entry(PCHANNEL_ENTRY_POINTS_EX entryPoints, PVOID initHandle);
    static VOID VCAPITYPE InitEvent(LPVOID userParam, LPVOID initHandle, UINT event, LPVOID data, UINT length);
    static VOID VCAPITYPE OpenEvent(LPVOID userParam, DWORD openHandle, UINT event, LPVOID data,
                                    UINT32 dataLength, UINT32 totalLength, UINT32 dataFlags);

    bool Initialise(PCHANNEL_ENTRY_POINTS_EX entryPoints, PVOID initHandle);
    void OpenAll();
    void CloseOpenHandles();
    void Received(DWORD openHandle, const uint8_t* data, UINT32 length, UINT32 total, UINT32 flags);
    void WriteFinished(void* userData);

    std::vector<TChannelDefinition> definitions_;
    TMessageHandler onMessage_;

    mutable std::mutex mutex_;  // the channels' open state and the pending writes
    std::vector<TChannel> channels_;
    CHANNEL_ENTRY_POINTS_FREERDP_EX entryPoints_{};
    void* initHandle_ = nullptr;
    bool usable_ = false;  // between registration and termination
    std::unordered_map<const void*, std::unique_ptr<TBytes>> pendingWrites_;
};

}  // namespace kiv
