#include "platform/linux/NetworkAdapters.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <system_error>

#include "platform/linux/SysfsText.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

// The kernel's hardware type of the loopback interface.
constexpr std::string_view kLoopbackType = "772";

struct TInterface {
    long index = 0;
    std::string name;
    bool backedByDevice = false;
    std::optional<THardwareAddress> address;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<THardwareAddress> ParseHardwareAddress(std::string_view text) {
    THardwareAddress bytes;
    for (std::size_t i = 0; i < text.size(); i += 3) {
        if (i + 2 > text.size()) return std::nullopt;
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        if (i + 2 < text.size() && text[i + 2] != ':') return std::nullopt;
        if (i + 2 == text.size() - 1) return std::nullopt;  // a trailing ':'
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

std::vector<std::optional<THardwareAddress>> ReadAdapterAddresses(const fs::path& sysRoot) {
    std::vector<TInterface> interfaces;
    std::error_code error;
    for (fs::directory_iterator it(sysRoot / "class/net", error), end; !error && it != end; it.increment(error)) {
        const fs::path& folder = it->path();
        if (ReadSysfsText(folder / "type").value_or("") == kLoopbackType) continue;
        TInterface interface;
        interface.name = folder.filename().string();
        const std::string index = ReadSysfsText(folder / "ifindex").value_or("");
        const auto [ptr, parseError] = std::from_chars(index.data(), index.data() + index.size(), interface.index);
        if (parseError != std::errc() || ptr != index.data() + index.size()) continue;
        std::error_code ignored;
        interface.backedByDevice = fs::exists(folder / "device", ignored);
        interface.address = ParseHardwareAddress(ReadSysfsText(folder / "address").value_or(""));
        if (interface.address &&
            std::all_of(interface.address->begin(), interface.address->end(), [](uint8_t b) { return b == 0; }))
            interface.address.reset();
        interfaces.push_back(std::move(interface));
    }
    const bool anyDevice = std::any_of(interfaces.begin(), interfaces.end(),
                                       [](const TInterface& interface) { return interface.backedByDevice; });
    std::sort(interfaces.begin(), interfaces.end(), [](const TInterface& a, const TInterface& b) {
        return a.index != b.index ? a.index < b.index : a.name < b.name;
    });
    std::vector<std::optional<THardwareAddress>> addresses;
    for (TInterface& interface : interfaces)
        if (interface.backedByDevice || !anyDevice) addresses.push_back(std::move(interface.address));
    return addresses;
}

}  // namespace kiv
