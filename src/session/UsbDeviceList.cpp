#include "session/UsbDeviceList.h"

#include <algorithm>
#include <cctype>

namespace kiv {

namespace {

// A hexadecimal number, or 0 when the text is not one (empty included).
int32_t HexOrZero(std::string_view text) {
    if (text.empty()) return 0;
    uint32_t value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return 0;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(value);
}

// At most count characters from position (0-based); empty past the end.
std::string_view Part(std::string_view text, std::size_t position, std::size_t count) {
    return position >= text.size() ? std::string_view() : text.substr(position, count);
}

bool NamesAMouse(std::string_view line) {
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("mouse") != std::string::npos;
}

}  // namespace

std::vector<TUsbDevice> ParseUsbList(std::string_view list) {
    std::vector<TUsbDevice> devices;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view line = list.substr(start, end - start);
        // "\r\n" is one line break.
        start = end + (end + 1 < list.size() && list[end] == '\r' && list[end + 1] == '\n' ? 2 : 1);
        if (line.empty() || NamesAMouse(line)) continue;
        const std::size_t eq = line.find('=');
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
        TUsbDevice device;
        device.checked = !value.empty() && value.front() == '1';
        device.caption = std::string(Part(value, 2, std::string_view::npos));
        device.tag = HexOrZero(Part(key, 0, 6));
        device.imageIndex = HexOrZero(Part(key, 6, 4));
        devices.push_back(std::move(device));
    }
    return devices;
}

int64_t UsbDeviceKey(const TUsbDevice& device) { return int64_t{device.tag} * 65536 + device.imageIndex; }

}  // namespace kiv
