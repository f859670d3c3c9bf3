#pragma once
// The display-control channel of one session, for a client that asks for it:
// the server offers one monitor and records every monitor layout the client
// sends ("display-layout" in the transcript). The desktop itself keeps its size.
#include <freerdp/server/disp.h>

#include "tools/demo-server/Transcript.h"

namespace kiv::demo {

class TDisplayControl {
public:
    TDisplayControl(HANDLE vcm, rdpContext* context, TTranscript& transcript, int connection);
    ~TDisplayControl();
    TDisplayControl(const TDisplayControl&) = delete;
    TDisplayControl& operator=(const TDisplayControl&) = delete;

    // Session thread, on every turn: opens the channel once the client's
    // dynamic channels are up (never when it has none).
    void OpenWhenReady(HANDLE vcm);

private:
    static UINT OnLayout(DispServerContext* context, const DISPLAY_CONTROL_MONITOR_LAYOUT_PDU* pdu);

    DispServerContext* disp_ = nullptr;
    TTranscript& transcript_;
    int connection_;
    bool tried_ = false;
    bool open_ = false;
};

}  // namespace kiv::demo
