#pragma once
// The machine facts of a Linux machine: processors through the identification
// instruction with the calling thread pinned to each in turn, the first disk and
// the network adapters from sysfs (and udev's database), the root file system's
// UUID, the host name and the resolver.
#include <string>

#include "ports/MachineFacts.h"
#include "platform/linux/RootVolumeId.h"

namespace kiv {

class TLinuxMachineFacts : public IMachineFacts {
public:
    // The roots are the kernel's and udev's folders; tests point them elsewhere. The
    // system volume's identifier is read here, once.
    explicit TLinuxMachineFacts(TMachineFactsRoots roots = {});

    std::optional<std::vector<TCpuIdLeaf1>> CpuIdLeaf1PerProcessor() override;
    std::string FirstDiskSerial() override;
    std::vector<std::optional<THardwareAddress>> AdapterAddresses() override;
    std::string SystemVolumeId() override;
    std::string HostName() override;
    std::vector<TIPv4Address> ResolveIPv4(std::string_view name) override;

private:
    TMachineFactsRoots roots_;
    std::string volumeId_;
};

}  // namespace kiv
