#pragma once
// What the machine tells about itself for the client's machine identifier, the
// computer name and the local addresses. Every source may fail; a failed source
// answers empty (or nullopt) and the caller carries on without it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

// The four result registers of the processor-identification instruction, leaf 1.
struct TCpuIdLeaf1 {
    uint32_t eax = 0;
    uint32_t ebx = 0;
    uint32_t ecx = 0;
    uint32_t edx = 0;
};

using THardwareAddress = std::vector<uint8_t>;
using TIPv4Address = std::array<uint8_t, 4>;

class IMachineFacts {
public:
    virtual ~IMachineFacts() = default;

    // Leaf 1 as each logical processor of the machine answers it, the processors in
    // ascending number; nullopt when the caller could not be restricted to one of them.
    // The caller's processor affinity is the same afterwards as before.
    virtual std::optional<std::vector<TCpuIdLeaf1>> CpuIdLeaf1PerProcessor() = 0;

    // The first disk's serial number as the drive reports it; empty when unknown.
    virtual std::string FirstDiskSerial() = 0;

    // One entry per network adapter, in the adapters' order: its hardware address,
    // or nullopt when that adapter gave none.
    virtual std::vector<std::optional<THardwareAddress>> AdapterAddresses() = 0;

    // The system volume's identifier (a file-system UUID or volume serial text, as
    // the file system writes it), taken once when the facts object was made; empty
    // when the volume has none.
    virtual std::string SystemVolumeId() = 0;

    // The local host name; empty when it cannot be read.
    virtual std::string HostName() = 0;

    // The IPv4 addresses a name resolves to, in the resolver's order; empty when it
    // does not resolve.
    virtual std::vector<TIPv4Address> ResolveIPv4(std::string_view name) = 0;
};

}  // namespace kiv
