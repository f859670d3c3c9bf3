#pragma once
#include <filesystem>
#include <optional>
#include <vector>

#include "ports/MachineFacts.h"

namespace kiv {

// The hardware addresses of the network adapters under "<sysRoot>/class/net", in
// interface-index order. The adapters are the interfaces backed by a device
// (network cards, a virtual machine's cards too); only when there are none (as in a
// container) every interface counts. The loopback never does. Bridges, virtual
// Ethernet pairs and tunnels come and go with containers and VPNs and would change
// the machine's identifier with them. An adapter whose address is unreadable or all
// zero gives nullopt.
std::vector<std::optional<THardwareAddress>> ReadAdapterAddresses(const std::filesystem::path& sysRoot);

// "aa:bb:cc:dd:ee:ff" (any number of two-digit groups) as bytes; nullopt when malformed.
std::optional<THardwareAddress> ParseHardwareAddress(std::string_view text);

}  // namespace kiv
