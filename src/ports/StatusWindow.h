#pragma once
// The floating status window as the traffic meter sees it: the shared block in
// which the status window publishes its id, and the way a message reaches it.
// The status window is a program of its own; it may be missing at any time.
#include <cstdint>
#include <memory>
#include <vector>

namespace kiv {

// "SuspendFormHndMapping" as one client holds it (TShareMem). Holding it counts
// the client in `UserCount`; releasing it (the destructor) counts it out.
class IStatusBlock {
public:
    virtual ~IStatusBlock() = default;
    // The status window's id as it stands now; 0 when none published one or the
    // block could not be opened.
    virtual uint32_t GetStatusWindow() const = 0;
};

class IStatusWindowLink {
public:
    virtual ~IStatusWindowLink() = default;
    virtual std::unique_ptr<IStatusBlock> OpenStatusBlock() = 0;
    // Whether a status window listens under this id now.
    virtual bool Answers(uint32_t statusWindow) const = 0;
    // One framed message; never blocks: a message the status window cannot take
    // now is dropped.
    virtual void Send(uint32_t statusWindow, const std::vector<uint8_t>& datagram) = 0;
    // Starts the status window program; it publishes its id itself.
    virtual bool StartStatusWindow() = 0;
};

}  // namespace kiv
