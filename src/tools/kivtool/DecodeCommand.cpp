// kivtool decode: how the client routes one received channel payload.
#include "channels/ChannelPayload.h"
#include "channels/ChannelRouter.h"
#include "launch/CredentialCodec.h"  // TextToHex
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

TBytes ParseHex(const std::string& text) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    TBytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-') continue;
        const int d = digit(c);
        if (d < 0) throw TUsageError{"the payload is not hex"};
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + d));
            high = -1;
        }
    }
    if (high >= 0) throw TUsageError{"the payload needs an even number of hex digits"};
    return out;
}

int RunDecode(const TArgs& args) {
    if (args.size() != 2) throw TUsageError{"expects a channel name and the payload in hex"};
    const TBytes payload = ParseHex(args[1]);
    const TRoute route = RouteOf(args[0], payload);
    Json j;
    j["Channel"] = args[0];
    j["Family"] = std::string(FamilyName(route.family));
    j["Bytes"] = payload.size();
    if (route.family == TChannelFamily::Dropped) {
        j["Dropped"] = std::string(route.dropReason);
    } else {
        j["Signature"] = TextToHex(std::string(payload.begin(), payload.begin() + 3));
        // The folder family takes the payload whole; the others see the len rule.
        if (route.family != TChannelFamily::Folder) j["Len"] = ReceivedLen(payload.size());
    }
    PrintJson(j);
    return 0;
}

const TRegisterCommand kDecode{"decode", RunDecode,
                               "decode CHANNEL HEX    which family a received payload belongs to, and its len"};

}  // namespace

}  // namespace kiv::tool
