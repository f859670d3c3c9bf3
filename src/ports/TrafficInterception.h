#pragma once
// The interception that counts the process's socket traffic: every completed
// send and receive of every thread reaches the counter installed here.
#include <cstdint>

namespace kiv {

// Called on any thread, on the path of every socket request: nothing may block
// or allocate there.
class ITrafficCounter {
public:
    virtual ~ITrafficCounter() = default;
    virtual void AddReceived(int64_t count) = 0;
    virtual void AddSent(int64_t count) = 0;
};

// What the kernel itself counted for the process's network sockets: the bytes
// the program handed to it and took from it (a diagnostic check of the counts).
struct TKernelTrafficCounts {
    int64_t sent = 0;
    int64_t received = 0;
    int sockets = 0;
    // Sockets the peer reset: what they still held to send was thrown away, so
    // the kernel sent less than the program handed it.
    int resets = 0;
};

class ITrafficInterception {
public:
    virtual ~ITrafficInterception() = default;
    // False when the interception is not available in this process: nothing is
    // then counted. `kernelCheck`: also collect the kernel's counts.
    virtual bool InstallHook(ITrafficCounter& counter, bool kernelCheck) = 0;
    // After it returns the counter is never called again.
    virtual void RemoveHook() = 0;
    // Once a second on the GUI thread: forgets sockets closed behind its back.
    virtual void Revalidate() = 0;
    // The kernel's counts of the sockets closed since InstallHook plus those still open.
    virtual TKernelTrafficCounts KernelCounts() = 0;
};

}  // namespace kiv
