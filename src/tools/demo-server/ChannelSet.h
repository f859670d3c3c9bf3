#pragma once
// The static channels of one session, on FreeRDP's channel manager: opened
// once the client has joined them, read as complete messages (the manager
// reassembles the chunks), written as one message per write.
#include <freerdp/peer.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

struct TJoinedChannel {
    std::string name;
    std::int64_t options = 0;  // the client's option bits
    bool opened = false;
};

enum class TChannelWrite { Queued, NotJoined, Refused };

class TChannelSet {
public:
    TChannelSet() = default;
    ~TChannelSet();
    TChannelSet(const TChannelSet&) = delete;
    TChannelSet& operator=(const TChannelSet&) = delete;

    // Opens every static channel the client joined (FreeRDP drops the whole
    // connection when data arrives on a channel nobody opened), except the
    // dynamic channel multiplexer, which the manager runs itself.
    std::vector<TJoinedChannel> OpenJoined(freerdp_peer* peer, HANDLE manager);

    // The handles that are signalled when a channel has a message.
    std::vector<HANDLE> EventHandles() const;
    // Every complete message waiting, in arrival order per channel.
    std::vector<std::pair<std::string, TBytes>> ReadAll();
    // Queues one message; the manager sends it at its next check.
    TChannelWrite Write(const std::string& name, const TBytes& bytes);
    void CloseAll();

private:
    struct TChannel {
        std::string name;
        HANDLE handle = nullptr;
        HANDLE event = nullptr;
    };
    std::vector<TChannel> channels_;
};

}  // namespace kiv::demo
