#include "platform/linux/RootVolumeId.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/linux/SysfsText.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        if (end > start) fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

// The mount table writes a blank, tab, newline and backslash in a path as "\" and three octal digits.
std::string UnescapeMountPath(std::string_view text) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string path;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && octal(text[i + 1]) && octal(text[i + 2]) &&
            octal(text[i + 3])) {
            path += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
            continue;
        }
        path += text[i];
    }
    return path;
}

bool ParseDeviceNumber(std::string_view text, unsigned& major, unsigned& minor) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 >= text.size()) return false;
    const auto number = [](std::string_view digits, unsigned& value) {
        if (digits.size() > 9) return false;
        value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        return true;
    };
    return number(text.substr(0, colon), major) && number(text.substr(colon + 1), minor);
}

// The device node of the root file system, under the given /dev: the mount's source,
// or the name the kernel gives the device number.
fs::path RootDevicePath(const TRootMount& mount, const TMachineFactsRoots& roots) {
    const std::string_view source(mount.source);
    if (source.substr(0, 5) == "/dev/" && source.size() > 5) return roots.dev / fs::path(source.substr(5));
    unsigned major = 0;
    unsigned minor = 0;
    if (!ParseDeviceNumber(mount.deviceNumber, major, minor)) return fs::path();
    // The kernel's uevent file has "DEVNAME=vda" lines.
    const auto uevent = ReadSysfsText(roots.sys / "dev/block" / mount.deviceNumber / "uevent");
    if (!uevent) return fs::path();
    std::size_t start = 0;
    while (start < uevent->size()) {
        std::size_t end = uevent->find('\n', start);
        if (end == std::string::npos) end = uevent->size();
        const std::string_view line = std::string_view(*uevent).substr(start, end - start);
        if (line.substr(0, 8) == "DEVNAME=" && line.size() > 8) return roots.dev / fs::path(line.substr(8));
        start = end + 1;
    }
    return fs::path();
}

std::string UuidFromLinks(const fs::path& device, const TRootMount& mount, const TMachineFactsRoots& roots) {
    unsigned major = 0;
    unsigned minor = 0;
    const bool haveNumber = ParseDeviceNumber(mount.deviceNumber, major, minor) && major != 0;
    std::error_code error;
    const fs::path deviceTarget = device.empty() ? fs::path() : fs::canonical(device, error);
    if (error) error.clear();
    for (fs::directory_iterator it(roots.dev / "disk/by-uuid", error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        const fs::path target = fs::canonical(it->path(), ignored);
        if (ignored) continue;
        bool same = !deviceTarget.empty() && target == deviceTarget;
        struct stat info {};
        if (!same && haveNumber && ::stat(target.c_str(), &info) == 0 && S_ISBLK(info.st_mode))
            same = info.st_rdev == makedev(major, minor);
        if (same) return it->path().filename().string();
    }
    return std::string();
}

std::string FormatUuid(const uint8_t* bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

struct TSuperblockLayout {
    std::size_t magicOffset;
    std::string_view magic;
    std::size_t uuidOffset;
};

std::string UuidFromSuperblock(const fs::path& device) {
    static constexpr std::array<TSuperblockLayout, 3> kLayouts = {{
        {1024 + 0x38, std::string_view("\x53\xEF", 2), 1024 + 0x68},  // ext2, ext3, ext4
        {0, "XFSB", 32},                                              // XFS
        {0x10040, "_BHRfS_M", 0x10020},                               // Btrfs
    }};
    std::ifstream file(device, std::ios::binary);
    if (!file) return std::string();
    for (const TSuperblockLayout& layout : kLayouts) {
        std::string magic(layout.magic.size(), '\0');
        std::array<uint8_t, 16> uuid{};
        file.clear();
        if (!file.seekg(static_cast<std::streamoff>(layout.magicOffset)) ||
            !file.read(magic.data(), static_cast<std::streamsize>(magic.size())) || magic != layout.magic)
            continue;
        file.clear();
        if (!file.seekg(static_cast<std::streamoff>(layout.uuidOffset)) ||
            !file.read(reinterpret_cast<char*>(uuid.data()), static_cast<std::streamsize>(uuid.size())))
            continue;
        return FormatUuid(uuid.data());
    }
    return std::string();
}

}  // namespace

std::optional<TRootMount> FindRootMount(std::string_view mountInfo) {
    std::optional<TRootMount> found;
    std::size_t start = 0;
    while (start < mountInfo.size()) {
        std::size_t end = mountInfo.find('\n', start);
        if (end == std::string_view::npos) end = mountInfo.size();
        const auto fields = SplitFields(mountInfo.substr(start, end - start));
        start = end + 1;
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        if (fields.size() < 5 || fields[4] != "/") continue;
        std::size_t separator = 5;
        while (separator < fields.size() && fields[separator] != "-") ++separator;
        TRootMount mount;
        mount.deviceNumber = std::string(fields[2]);
        if (separator + 1 < fields.size()) mount.fileSystem = UnescapeMountPath(fields[separator + 1]);
        if (separator + 2 < fields.size()) mount.source = UnescapeMountPath(fields[separator + 2]);
        found = std::move(mount);
    }
    return found;
}

std::string ReadRootVolumeId(const TMachineFactsRoots& roots) {
    // A machine with many containers has a long mount table.
    const auto mountInfo = ReadSmallFile(roots.proc / "self/mountinfo", 16u << 20);
    if (!mountInfo) return std::string();
    const auto mount = FindRootMount(*mountInfo);
    if (!mount) return std::string();
    const fs::path device = RootDevicePath(*mount, roots);
    std::string uuid = UuidFromLinks(device, *mount, roots);
    unsigned major = 0;
    unsigned minor = 0;
    if (uuid.empty() && ParseDeviceNumber(mount->deviceNumber, major, minor))
        uuid = ReadUdevProperty(roots.run / "udev/data" / ("b" + mount->deviceNumber), "ID_FS_UUID");
    if (uuid.empty() && !device.empty()) uuid = UuidFromSuperblock(device);
    return uuid;
}

}  // namespace kiv
