#pragma once
// The folder plug-in, a separate library the client binds at run time. The
// client never looks inside folder messages: it gives the plug-in a function to
// send with and takes from it a function to receive with.
//
// Texts cross this border as length-prefixed wide strings: a pointer to UTF-16
// units, the unsigned 32-bit byte length stored in the four bytes right before
// the first unit, and a zero unit after the last byte. A payload of odd length
// keeps its exact byte length in the prefix.
#include <cstdint>

namespace kiv {

using TFolderWideString = const char16_t*;
// (channel name, data); the result carries no meaning.
using TFolderSendProc = int32_t (*)(TFolderWideString channelName, TFolderWideString data);
// (sender, channel name, data); sender is opaque to the plug-in; the result is ignored.
using TFolderRecvProc = int32_t (*)(void* sender, TFolderWideString channelName, TFolderWideString data);
// The entry point: (the application's window, the send function, where the
// plug-in stores its receive function); the result is ignored.
using TFolderPluginEntry = int32_t (*)(uintptr_t window, TFolderSendProc send, TFolderRecvProc* recvProc);

class IFolderPlugin {
public:
    virtual ~IFolderPlugin() = default;
    // The entry point, or nullptr when the library or its entry is missing.
    virtual TFolderPluginEntry Entry() = 0;
    // Why there is no entry point (for the log).
    virtual const char* Problem() const = 0;
};

}  // namespace kiv
