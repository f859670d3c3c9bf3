#pragma once
// The library's per-connection context, extended with the way back to our
// objects: every callback the library makes receives this context.
#include <freerdp/freerdp.h>

namespace kiv {

class TFreeRdpSession;
class TFreeRdpDisplay;
class TFreeRdpDisplayControl;

struct TKivRdpContext {
    rdpContext base;  // must come first: the library allocates ContextSize bytes and uses the start
    TFreeRdpSession* session;
    TFreeRdpDisplay* display;
    TFreeRdpDisplayControl* displayControl;
};

inline TKivRdpContext* KivContext(rdpContext* context) { return reinterpret_cast<TKivRdpContext*>(context); }
inline TKivRdpContext* KivContext(freerdp* instance) { return KivContext(instance->context); }

}  // namespace kiv
