#pragma once
#include <filesystem>
#include <string>

namespace kiv {

// The name of the machine's first disk under "<sysRoot>/block": the first in name
// order that is backed by a device, not removable and not hidden. Loop, RAM, compressed-RAM,
// device-mapper, software RAID, network block devices and optical drives are not
// disks. Empty when there is none.
std::string FirstDiskName(const std::filesystem::path& sysRoot);

// That disk's serial number as the drive reports it, blanks kept: the kernel's
// "serial" attribute, udev's ID_SERIAL_SHORT, the SCSI unit serial number page, or
// the world-wide identifier, the first that is there. Empty when none is readable.
std::string ReadFirstDiskSerial(const std::filesystem::path& sysRoot, const std::filesystem::path& runRoot);

}  // namespace kiv
