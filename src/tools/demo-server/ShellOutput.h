#pragma once
// What the server shell does to its session: the RDP session carries it out,
// a test records it.
#include <cstdint>
#include <string>

#include "tools/demo-server/HexBytes.h"
#include "tools/demo-server/SmlWire.h"
#include "tools/demo-server/Transcript.h"

namespace kiv::demo {

class IShellOutput {
public:
    virtual ~IShellOutput() = default;
    virtual void Send(const std::string& channel, const TBytes& bytes) = 0;
    // The error info that goes out with the next close.
    virtual void SetErrorInfo(std::uint32_t code) = 0;
    // The session ends once the shell's call returns: cleanly, or by a TCP drop.
    virtual void Close() = 0;
    virtual void Drop() = 0;
    // Save Session Info with an auto-reconnect cookie whose logon id is the
    // connection number.
    virtual void SendReconnectCookie() = 0;
    // This part of the desktop changed: send its pixels again.
    virtual void Repaint(const TWindowRect& area) = 0;
    // A transcript line about the shell's doings ("connection" is added).
    virtual void Record(TJson line) = 0;
};

}  // namespace kiv::demo
