#include "platform/linux/LinuxMachineFacts.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <utility>

#include "platform/linux/FirstDiskSerial.h"
#include "platform/linux/NetworkAdapters.h"
#include "platform/linux/ProcessorIds.h"

namespace kiv {

TLinuxMachineFacts::TLinuxMachineFacts(TMachineFactsRoots roots)
    : roots_(std::move(roots)), volumeId_(ReadRootVolumeId(roots_)) {}

std::optional<std::vector<TCpuIdLeaf1>> TLinuxMachineFacts::CpuIdLeaf1PerProcessor() {
    return ReadCpuIdPerProcessor(roots_.sys);
}

std::string TLinuxMachineFacts::FirstDiskSerial() { return ReadFirstDiskSerial(roots_.sys, roots_.run); }

std::vector<std::optional<THardwareAddress>> TLinuxMachineFacts::AdapterAddresses() {
    return ReadAdapterAddresses(roots_.sys);
}

std::string TLinuxMachineFacts::SystemVolumeId() { return volumeId_; }

std::string TLinuxMachineFacts::HostName() {
    char name[HOST_NAME_MAX + 2] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
    return std::string(name, ::strnlen(name, sizeof name - 1));
}

std::vector<TIPv4Address> TLinuxMachineFacts::ResolveIPv4(std::string_view name) {
    std::vector<TIPv4Address> addresses;
    const std::string host(name);
    if (host.empty() || host.find('\0') != std::string::npos) return addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr || entry->ai_addrlen < sizeof(sockaddr_in))
            continue;
        sockaddr_in address{};
        std::memcpy(&address, entry->ai_addr, sizeof address);
        TIPv4Address bytes{};
        std::memcpy(bytes.data(), &address.sin_addr.s_addr, bytes.size());
        addresses.push_back(bytes);
    }
    ::freeaddrinfo(found);
    return addresses;
}

}  // namespace kiv
