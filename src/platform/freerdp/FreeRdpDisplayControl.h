#pragma once
// The display-control channel of one FreeRDP connection: where the server
// offers it, the client may ask for a new desktop size while the session runs.
// The library announces the channel when it loads it and calls back once the
// server has sent its capabilities; only then does a request go out. A size
// asked for earlier is kept and sent at that moment.
#include <freerdp/client/disp.h>
#include <freerdp/freerdp.h>

#include <cstdint>
#include <mutex>

namespace kiv {

class TFreeRdpDisplayControl {
public:
    // Connection thread, before the library loads its channels.
    void Prepare(rdpSettings* settings, bool enabled);
    // Connection thread: from the context's creation to its release.
    void Subscribe(rdpContext* context);
    void Unsubscribe(rdpContext* context);

    // Any thread. True when the request went out now.
    bool RequestSize(int32_t width, int32_t height);

    // Library callbacks, reached through the context and the channel.
    void OnChannelConnected(const char* name, void* channel);
    void OnChannelDisconnected(const char* name);
    void OnCapabilities(uint32_t maxMonitors);

private:
    bool SendLocked();

    std::mutex mutex_;
    DispClientContext* disp_ = nullptr;
    bool ready_ = false;  // the server's capabilities have arrived
    bool pending_ = false;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace kiv
