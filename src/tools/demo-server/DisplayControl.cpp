#include "tools/demo-server/DisplayControl.h"

#include <freerdp/channels/wtsvc.h>

namespace kiv::demo {

TDisplayControl::TDisplayControl(HANDLE vcm, rdpContext* context, TTranscript& transcript, int connection)
    : transcript_(transcript), connection_(connection) {
    disp_ = disp_server_context_new(vcm);
    if (!disp_) return;
    disp_->custom = this;
    disp_->rdpcontext = context;
    disp_->MaxNumMonitors = 1;
    disp_->MaxMonitorAreaFactorA = 8192;
    disp_->MaxMonitorAreaFactorB = 8192;
    disp_->DispMonitorLayout = OnLayout;
}

TDisplayControl::~TDisplayControl() {
    if (!disp_) return;
    if (open_) disp_->Close(disp_);
    disp_server_context_free(disp_);
}

void TDisplayControl::OpenWhenReady(HANDLE vcm) {
    if (!disp_ || tried_ || WTSVirtualChannelManagerGetDrdynvcState(vcm) != DRDYNVC_STATE_READY) return;
    tried_ = true;
    open_ = disp_->Open(disp_) == CHANNEL_RC_OK;
    // The client may ask for layouts once it knows what the server takes.
    bool capsSent = false;
    if (open_ && disp_->DisplayControlCaps) capsSent = disp_->DisplayControlCaps(disp_) == CHANNEL_RC_OK;
    TJson line;
    line["event"] = "display-control";
    line["connection"] = connection_;
    line["opened"] = open_;
    line["capabilities_sent"] = capsSent;
    transcript_.Write(std::move(line));
}

UINT TDisplayControl::OnLayout(DispServerContext* context, const DISPLAY_CONTROL_MONITOR_LAYOUT_PDU* pdu) {
    // FreeRDP's channel thread; the transcript takes lines from any thread.
    auto* self = static_cast<TDisplayControl*>(context->custom);
    if (!self || !pdu) return CHANNEL_RC_OK;
    for (UINT32 i = 0; i < pdu->NumMonitors && pdu->Monitors; ++i) {
        TJson line;
        line["event"] = "display-layout";
        line["connection"] = self->connection_;
        line["width"] = pdu->Monitors[i].Width;
        line["height"] = pdu->Monitors[i].Height;
        line["primary"] = (pdu->Monitors[i].Flags & DISPLAY_CONTROL_MONITOR_PRIMARY) != 0;
        self->transcript_.Write(std::move(line));
    }
    return CHANNEL_RC_OK;
}

}  // namespace kiv::demo
