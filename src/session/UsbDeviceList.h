#pragma once
// The USB library's device list, as the toolbar's device menu shows it. Each
// line is key "=" value: the key's first six hexadecimal digits are the
// device's tag, the next four its index; the value's first character is "1"
// when the device is redirected, and from its third character on it is the
// caption. Pointing devices (lines naming a "mouse") are never offered.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

struct TUsbDevice {
    std::string caption;  // as the library wrote it (system code page)
    bool checked = false;
    int32_t tag = 0;
    int32_t imageIndex = 0;
};

std::vector<TUsbDevice> ParseUsbList(std::string_view list);

// The key the library's redirect call takes: tag x 65536 + index, the tag signed.
int64_t UsbDeviceKey(const TUsbDevice& device);

}  // namespace kiv
