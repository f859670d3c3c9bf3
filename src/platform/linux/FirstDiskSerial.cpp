#include "platform/linux/FirstDiskSerial.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/linux/SysfsText.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

bool IsVirtualBlockName(std::string_view name) {
    static constexpr std::array<std::string_view, 8> kPrefixes = {"loop", "ram", "zram", "dm-",
                                                                   "md",   "nbd", "sr",   "fd"};
    return std::any_of(kPrefixes.begin(), kPrefixes.end(),
                       [&](std::string_view prefix) { return name.substr(0, prefix.size()) == prefix; });
}

// The SCSI unit serial number page: page code 0x80, a 16-bit length, then the serial.
std::string SerialFromVpdPage80(const std::string& page) {
    if (page.size() < 4 || static_cast<unsigned char>(page[1]) != 0x80) return std::string();
    const std::size_t length =
        (static_cast<std::size_t>(static_cast<unsigned char>(page[2])) << 8) | static_cast<unsigned char>(page[3]);
    return page.substr(4, std::min(length, page.size() - 4));
}

}  // namespace

std::string FirstDiskName(const fs::path& sysRoot) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(sysRoot / "block", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsVirtualBlockName(name)) continue;
        std::error_code ignored;
        if (!fs::exists(it->path() / "device", ignored)) continue;
        if (ReadSysfsText(it->path() / "removable").value_or("0") == "1") continue;
        // A multipath disk's per-path nodes are hidden; the disk itself is listed too.
        if (ReadSysfsText(it->path() / "hidden").value_or("0") == "1") continue;
        names.push_back(name);
    }
    if (names.empty()) return std::string();
    return *std::min_element(names.begin(), names.end());
}

std::string ReadFirstDiskSerial(const fs::path& sysRoot, const fs::path& runRoot) {
    const std::string name = FirstDiskName(sysRoot);
    if (name.empty()) return std::string();
    const fs::path disk = sysRoot / "block" / name;
    for (const fs::path& attribute : {disk / "device/serial", disk / "serial"}) {
        const auto serial = ReadSysfsText(attribute);
        if (serial && !serial->empty()) return *serial;
    }
    if (const auto number = ReadSysfsText(disk / "dev"); number && !number->empty()) {
        std::string serial = ReadUdevProperty(runRoot / "udev/data" / ("b" + *number), "ID_SERIAL_SHORT");
        if (!serial.empty()) return serial;
    }
    if (const auto page = ReadSmallFile(disk / "device/vpd_pg80")) {
        std::string serial = SerialFromVpdPage80(*page);
        if (!serial.empty()) return serial;
    }
    return ReadSysfsText(disk / "device/wwid").value_or(std::string());
}

}  // namespace kiv
