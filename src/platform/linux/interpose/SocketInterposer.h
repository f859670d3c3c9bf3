#pragma once
// The traffic meter's interception on Linux: the executable defines the C
// library's socket I/O functions itself (send, recv, read, write, their vector,
// message and file-transfer forms, and the functions that make, copy and close
// descriptors) and exports exactly those names (--dynamic-list), so the calls
// of every shared library reach these wrappers too. Each wrapper calls the C
// library's function (found with dlsym(RTLD_NEXT)) and, when the call moved
// bytes over a network socket (AF_INET or AF_INET6), adds them to the counter.
//
// Which descriptor is what is kept in a table of one byte per descriptor:
// unknown, not a socket, network, Unix domain, other socket. Making a socket
// marks it; closing or copying a descriptor makes it unknown again; an unknown
// descriptor is classified on its first successful I/O with one getsockopt.
// Nothing on this path allocates or locks; failures and peeks add nothing.
//
// Not seen: the C library's own resolver traffic, io_uring, raw system calls.
// Unix-domain traffic (X11, D-Bus) is counted apart and never reaches the meter.
#include <cstdint>

#include "ports/TrafficInterception.h"

namespace kiv {

class TSocketInterposer final : public ITrafficInterception {
public:
    // The process-wide instance (the wrappers have no other).
    static TSocketInterposer& Instance();
    // Whether this executable's wrappers are the ones the process calls.
    static bool Active();

    bool InstallHook(ITrafficCounter& counter, bool kernelCheck) override;
    void RemoveHook() override;
    void Revalidate() override;
    TKernelTrafficCounts KernelCounts() override;

    // Unix-domain bytes since the start of the process.
    static int64_t UnixBytesSent();
    static int64_t UnixBytesReceived();

private:
    TSocketInterposer() = default;
};

}  // namespace kiv
