#include "platform/freerdp/FreeRdpDisplayControl.h"

#include <freerdp/event.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "infra/DebugLog.h"
#include "platform/freerdp/FreeRdpContext.h"

namespace kiv {

namespace {

void ConnectedThunk(void* context, ChannelConnectedEventArgs* e) {
    if (auto* kiv = KivContext(static_cast<rdpContext*>(context)); kiv->displayControl)
        kiv->displayControl->OnChannelConnected(e->name, e->pInterface);
}

void DisconnectedThunk(void* context, ChannelDisconnectedEventArgs* e) {
    if (auto* kiv = KivContext(static_cast<rdpContext*>(context)); kiv->displayControl)
        kiv->displayControl->OnChannelDisconnected(e->name);
}

UINT CapabilitiesThunk(DispClientContext* disp, UINT32 maxMonitors, UINT32, UINT32) {
    if (auto* self = static_cast<TFreeRdpDisplayControl*>(disp->custom)) self->OnCapabilities(maxMonitors);
    return CHANNEL_RC_OK;
}

}  // namespace

void TFreeRdpDisplayControl::Prepare(rdpSettings* settings, bool enabled) {
    // The library then loads the dynamic channel and its carrier.
    if (enabled) freerdp_settings_set_bool(settings, FreeRDP_SupportDisplayControl, TRUE);
}

void TFreeRdpDisplayControl::Subscribe(rdpContext* context) {
    PubSub_SubscribeChannelConnected(context->pubSub, ConnectedThunk);
    PubSub_SubscribeChannelDisconnected(context->pubSub, DisconnectedThunk);
}

void TFreeRdpDisplayControl::Unsubscribe(rdpContext* context) {
    PubSub_UnsubscribeChannelConnected(context->pubSub, ConnectedThunk);
    PubSub_UnsubscribeChannelDisconnected(context->pubSub, DisconnectedThunk);
    std::lock_guard lock(mutex_);
    disp_ = nullptr;
    ready_ = false;
}

void TFreeRdpDisplayControl::OnChannelConnected(const char* name, void* channel) {
    if (!name || std::strcmp(name, DISP_DVC_CHANNEL_NAME) != 0 || !channel) return;
    std::lock_guard lock(mutex_);
    disp_ = static_cast<DispClientContext*>(channel);
    disp_->custom = this;
    disp_->DisplayControlCaps = CapabilitiesThunk;
}

void TFreeRdpDisplayControl::OnChannelDisconnected(const char* name) {
    if (!name || std::strcmp(name, DISP_DVC_CHANNEL_NAME) != 0) return;
    std::lock_guard lock(mutex_);
    if (disp_) disp_->custom = nullptr;
    disp_ = nullptr;
    ready_ = false;
}

void TFreeRdpDisplayControl::OnCapabilities(uint32_t maxMonitors) {
    if (DebugSwitches[dmMain])
        WriteLog("[TFreeRdpDisplayControl]the server offers display control, monitors " + std::to_string(maxMonitors));
    std::lock_guard lock(mutex_);
    ready_ = maxMonitors > 0;
    if (ready_ && pending_) SendLocked();
}

bool TFreeRdpDisplayControl::RequestSize(int32_t width, int32_t height) {
    std::lock_guard lock(mutex_);
    width_ = std::clamp<int32_t>(width & ~1, DISPLAY_CONTROL_MIN_MONITOR_WIDTH, DISPLAY_CONTROL_MAX_MONITOR_WIDTH);
    height_ = std::clamp<int32_t>(height, DISPLAY_CONTROL_MIN_MONITOR_HEIGHT, DISPLAY_CONTROL_MAX_MONITOR_HEIGHT);
    pending_ = true;
    return ready_ && SendLocked();
}

bool TFreeRdpDisplayControl::SendLocked() {
    if (!disp_ || !disp_->SendMonitorLayout) return false;
    DISPLAY_CONTROL_MONITOR_LAYOUT layout{};
    layout.Flags = DISPLAY_CONTROL_MONITOR_PRIMARY;
    layout.Width = static_cast<UINT32>(width_);
    layout.Height = static_cast<UINT32>(height_);
    layout.Orientation = ORIENTATION_LANDSCAPE;
    layout.DesktopScaleFactor = 100;
    layout.DeviceScaleFactor = 100;
    const UINT result = disp_->SendMonitorLayout(disp_, 1, &layout);
    pending_ = result != CHANNEL_RC_OK;
    if (DebugSwitches[dmMain])
        WriteLog("[TFreeRdpDisplayControl]desktop size " + std::to_string(width_) + "x" + std::to_string(height_) +
                 (pending_ ? " not sent" : " asked for"));
    return !pending_;
}

}  // namespace kiv
