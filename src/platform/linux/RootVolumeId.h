#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kiv {

struct TMachineFactsRoots {
    std::filesystem::path sys = "/sys";
    std::filesystem::path proc = "/proc";
    std::filesystem::path dev = "/dev";
    std::filesystem::path run = "/run";
};

// What the mount table says of the file system mounted on "/".
struct TRootMount {
    std::string deviceNumber;  // "major:minor"
    std::string fileSystem;
    std::string source;  // as mounted, e.g. "/dev/sda2", "overlay"
};

// The last mount on "/" in a /proc/<pid>/mountinfo text (a later one hides an
// earlier); nullopt when there is none.
std::optional<TRootMount> FindRootMount(std::string_view mountInfo);

// The UUID of the root file system: udev's /dev/disk/by-uuid link to its device,
// udev's ID_FS_UUID for it, or the UUID in an ext2/3/4, XFS or Btrfs superblock when
// the device is readable. Empty when the root is not on a block device with one
// (overlay, tmpfs, network roots).
std::string ReadRootVolumeId(const TMachineFactsRoots& roots);

}  // namespace kiv
