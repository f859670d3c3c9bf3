// Any bytes as a folder message on any channel name: through the router to the
// folder handler, into the plug-in's length-prefixed wide strings, and back out
// through the client's send function, as an echoing plug-in would. The plug-in
// must see exactly the bytes that came (odd lengths included, a zero unit after
// them) and the channel must send exactly them back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "channels/ChannelRouter.h"
#include "desktop/MsgFolder.h"
#include "desktop/WideStringBuffer.h"

namespace {

using namespace kiv;

TBytes expected;
std::string expectedChannel;
int echoed = 0;

struct Host : IChannelHost {
    void OnChannelSendData(const std::string& channel, const TBytes& data) override {
        if (channel != expectedChannel || data != expected) __builtin_trap();
        ++echoed;
    }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
};

int32_t EchoReceive(void*, TFolderWideString channelName, TFolderWideString data) {
    const auto bytes = FolderWideStringBytes(data);
    const auto name = FolderWideStringAscii(channelName);
    if (!bytes || *bytes != expected || !name || *name != expectedChannel) __builtin_trap();
    // The zero unit after the last byte is there to be read.
    uint32_t length = 0;
    std::memcpy(&length, reinterpret_cast<const uint8_t*>(data) - 4, 4);
    const uint8_t* end = reinterpret_cast<const uint8_t*>(data) + length;
    if (end[0] != 0 || end[1] != 0) __builtin_trap();
    return FolderSendProc(channelName, data);
}

int32_t Entry(uintptr_t, TFolderSendProc, TFolderRecvProc* receive) {
    *receive = &EchoReceive;
    return 0;
}

struct Plugin : IFolderPlugin {
    TFolderPluginEntry Entry() override { return &::Entry; }
    const char* Problem() const override { return ""; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* channels[] = {"CSMT", "CSML", "CSMP", "PUBDIR"};
    expectedChannel = channels[data[0] % 4];
    expected.assign(data + 1, data + size);
    echoed = 0;
    Host host;
    Plugin plugin;
    TMsgFolder folder(host, &plugin);
    folder.OnFolderData(expectedChannel, expected);
    if (echoed != 1) __builtin_trap();

    // Through the router: only a folder message on CSMT reaches the handler, once.
    TChannelRouter router;
    TChannelRouter::THandlers handlers;
    handlers.folder = &folder;
    router.SetHandlers(handlers);
    echoed = 0;
    router.OnChannelReceivedData(expectedChannel, expected);
    if (echoed > 1) __builtin_trap();
    return 0;
}
