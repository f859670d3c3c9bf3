#include "platform/linux/LinuxMachineFacts.h"

#include <sched.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/linux/FirstDiskSerial.h"
#include "platform/linux/NetworkAdapters.h"
#include "platform/linux/ProcessorIds.h"
#include "platform/linux/RootVolumeId.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

cpu_set_t CurrentMask() {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    EXPECT_EQ(::sched_getaffinity(0, sizeof mask, &mask), 0);
    return mask;
}

// Puts the test thread's affinity back whatever the test did to it.
class AffinityGuard {
public:
    AffinityGuard() : mask_(CurrentMask()) {}
    ~AffinityGuard() { ::sched_setaffinity(0, sizeof mask_, &mask_); }

private:
    cpu_set_t mask_;
};

TEST(LinuxProcessorIdsTest, AffinityIsTheSameAfterReading) {
    AffinityGuard guard;
    const cpu_set_t before = CurrentMask();
    const auto leaves = ReadCpuIdPerProcessor("/sys");
    const cpu_set_t after = CurrentMask();
    EXPECT_TRUE(CPU_EQUAL(&before, &after));
#if defined(__x86_64__) || defined(__i386__)
    ASSERT_TRUE(leaves.has_value());
    const auto processors = OnlineProcessors("/sys");
    ASSERT_TRUE(processors.has_value());
    EXPECT_EQ(leaves->size(), processors->size());
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    ASSERT_NE(__get_cpuid(1, &eax, &ebx, &ecx, &edx), 0);
    for (const TCpuIdLeaf1& leaf : *leaves) EXPECT_EQ(leaf.eax, eax);  // one processor model
#endif
}

TEST(LinuxProcessorIdsTest, NarrowAffinityIsKeptAndEveryProcessorStillRead) {
    AffinityGuard guard;
    const auto processors = OnlineProcessors("/sys");
    ASSERT_TRUE(processors.has_value());
    cpu_set_t only{};
    CPU_ZERO(&only);
    CPU_SET(processors->front(), &only);
    ASSERT_EQ(::sched_setaffinity(0, sizeof only, &only), 0);
    const auto leaves = ReadCpuIdPerProcessor("/sys");
    const cpu_set_t after = CurrentMask();
    EXPECT_TRUE(CPU_EQUAL(&only, &after));
#if defined(__x86_64__) || defined(__i386__)
    ASSERT_TRUE(leaves.has_value());
    EXPECT_EQ(leaves->size(), processors->size());
    // The APIC number in EBX's top byte tells the processors apart.
    if (leaves->size() > 1) {
        EXPECT_NE((*leaves)[0].ebx >> 24, (*leaves)[1].ebx >> 24);
    }
#endif
}

TEST(LinuxProcessorIdsTest, ProcessorListFromSysfs) {
    TempDir sys;
    sys.Write("devices/system/cpu/online", "0-3,6\n");
    EXPECT_EQ(OnlineProcessors(sys.path()), (std::vector<int>{0, 1, 2, 3, 6}));
    sys.Write("devices/system/cpu/online", "0\n");
    EXPECT_EQ(OnlineProcessors(sys.path()), (std::vector<int>{0}));
    for (const char* bad : {"", "\n", "3-1", "a", "0-", "-2", "0,,1", "0-99999999", "1 2"}) {
        sys.Write("devices/system/cpu/online", bad);
        EXPECT_EQ(OnlineProcessors(sys.path()), std::nullopt) << bad;
    }
    // Without the list, the online count numbers them.
    TempDir empty;
    const auto counted = OnlineProcessors(empty.path());
    ASSERT_TRUE(counted.has_value());
    EXPECT_EQ(counted->size(), static_cast<std::size_t>(::sysconf(_SC_NPROCESSORS_ONLN)));
}

TEST(LinuxProcessorIdsTest, RestrictionFailureGivesNothingAndRestores) {
    AffinityGuard guard;
    TempDir sys;
    const cpu_set_t before = CurrentMask();
    sys.Write("devices/system/cpu/online", "0,1000\n");  // no such processor 1000
    EXPECT_EQ(ReadCpuIdPerProcessor(sys.path()), std::nullopt);
    const cpu_set_t after = CurrentMask();
    EXPECT_TRUE(CPU_EQUAL(&before, &after));

    sys.Write("devices/system/cpu/online", "garbage");
    EXPECT_EQ(ReadCpuIdPerProcessor(sys.path()), std::nullopt);
#if defined(__x86_64__) || defined(__i386__)
    sys.Write("devices/system/cpu/online", "0");
    const auto one = ReadCpuIdPerProcessor(sys.path());
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->size(), 1u);
#endif
}

TEST(LinuxDiskSerialTest, NoDisksGiveNothing) {
    TempDir sys;
    TempDir run;
    EXPECT_EQ(ReadFirstDiskSerial(sys.path(), run.path()), "");
    sys.Write("block/loop0/device/serial", "LOOP");
    sys.Write("block/zram0/device/serial", "ZRAM");
    sys.Write("block/dm-0/device/serial", "DM");
    sys.Write("block/ram0/device/serial", "RAM");
    sys.Write("block/sr0/device/serial", "CDROM");
    sys.Write("block/nvme9n1/serial", "NO DEVICE LINK");  // not backed by a device
    EXPECT_EQ(FirstDiskName(sys.path()), "");
    EXPECT_EQ(ReadFirstDiskSerial(sys.path(), run.path()), "");
}

TEST(LinuxDiskSerialTest, FirstFixedDiskInNameOrderWithBlanksKept) {
    TempDir sys;
    TempDir run;
    sys.Write("block/sda/removable", "1\n");  // a memory stick
    sys.Write("block/sda/device/serial", "STICK");
    sys.Write("block/vda/device/vendor", "0x1af4");
    sys.Write("block/vda/serial", "virtio-1");
    sys.Write("block/sdb/removable", "0\n");
    sys.Write("block/sdb/device/serial", "  WD-WCC4N1234567  \n");
    EXPECT_EQ(FirstDiskName(sys.path()), "sdb");
    EXPECT_EQ(ReadFirstDiskSerial(sys.path(), run.path()), "  WD-WCC4N1234567  ");
}

TEST(LinuxDiskSerialTest, SerialSources) {
    TempDir sys;
    TempDir run;
    sys.Write("block/vda/device/vendor", "0x1af4");
    sys.Write("block/vda/serial", "virtio-1\n");
    EXPECT_EQ(ReadFirstDiskSerial(sys.path(), run.path()), "virtio-1");

    TempDir sys2;
    sys2.Write("block/sda/dev", "8:0\n");
    sys2.Write("block/sda/device/wwid", "t10.ATA     WWID");
    EXPECT_EQ(ReadFirstDiskSerial(sys2.path(), run.path()), "t10.ATA     WWID");
    sys2.Write("block/sda/device/vpd_pg80", std::string("\x00\x80\x00\x08SERIAL01\x0a\x00", 14));
    EXPECT_EQ(ReadFirstDiskSerial(sys2.path(), run.path()), "SERIAL01");
    run.Write("udev/data/b8:0", "S:disk/by-id/ata-X\nE:ID_SERIAL=Model_S3Z1NB0K\nE:ID_SERIAL_SHORT=S3Z1NB0K\n");
    EXPECT_EQ(ReadFirstDiskSerial(sys2.path(), run.path()), "S3Z1NB0K");

    // A page shorter than its length gives what it holds, and nothing past it is read.
    TempDir sys3;
    sys3.Write("block/sda/device/vpd_pg80", std::string("\x00\x80\x00\xff" "AB", 6));
    EXPECT_EQ(ReadFirstDiskSerial(sys3.path(), run.path()), "AB");
    sys3.Write("block/sda/device/vpd_pg80", std::string("\x00\x80", 2));
    EXPECT_EQ(ReadFirstDiskSerial(sys3.path(), run.path()), "");
}

void WriteInterface(const TempDir& sys, const std::string& name, int index, const std::string& address,
                    bool device, const std::string& type = "1") {
    sys.Write("class/net/" + name + "/ifindex", std::to_string(index) + "\n");
    sys.Write("class/net/" + name + "/type", type + "\n");
    sys.Write("class/net/" + name + "/address", address + "\n");
    if (device) fs::create_directories(sys.path() / "class/net" / name / "device");
}

TEST(LinuxNetworkAdaptersTest, DeviceInterfacesInIndexOrder) {
    TempDir sys;
    EXPECT_TRUE(ReadAdapterAddresses(sys.path()).empty());
    WriteInterface(sys, "lo", 1, "00:00:00:00:00:00", false, "772");
    WriteInterface(sys, "enp3s0", 3, "52:54:00:ab:cd:ef", true);
    WriteInterface(sys, "eno1", 2, "00:1a:2b:3c:4d:5e", true);
    WriteInterface(sys, "docker0", 4, "02:42:ac:11:00:02", false);
    WriteInterface(sys, "wlan0", 10, "00:00:00:00:00:00", true);
    const auto addresses = ReadAdapterAddresses(sys.path());
    ASSERT_EQ(addresses.size(), 3u);
    EXPECT_EQ(addresses[0], (THardwareAddress{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
    EXPECT_EQ(addresses[1], (THardwareAddress{0x52, 0x54, 0x00, 0xab, 0xcd, 0xef}));
    EXPECT_EQ(addresses[2], std::nullopt);  // all zero: no answer
}

TEST(LinuxNetworkAdaptersTest, WithoutDevicesEveryInterfaceButLoopback) {
    TempDir sys;
    WriteInterface(sys, "lo", 1, "00:00:00:00:00:00", false, "772");
    WriteInterface(sys, "eth0", 7, "02:42:ac:11:00:02", false);
    WriteInterface(sys, "tun0", 5, "", false, "65534");
    sys.Write("class/net/broken/ifindex", "x\n");
    const auto addresses = ReadAdapterAddresses(sys.path());
    ASSERT_EQ(addresses.size(), 2u);
    EXPECT_EQ(addresses[0], std::nullopt);
    EXPECT_EQ(addresses[1], (THardwareAddress{0x02, 0x42, 0xac, 0x11, 0x00, 0x02}));
}

TEST(LinuxNetworkAdaptersTest, HardwareAddressText) {
    EXPECT_EQ(ParseHardwareAddress("00:1A:2b:3c:4d:5e"), (THardwareAddress{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
    EXPECT_EQ(ParseHardwareAddress("ff"), (THardwareAddress{0xff}));
    for (const char* bad : {"", "0", "00:", "00:1", "001a", "00-1a", "0g:00", ":00"})
        EXPECT_EQ(ParseHardwareAddress(bad), std::nullopt) << bad;
}

TEST(LinuxRootVolumeTest, RootMountFromMountTable) {
    const std::string table =
        "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "23 22 0:21 / /proc rw - proc proc rw\n"
        "40 22 8:5 / /home rw - ext4 /dev/sda5 rw\n"
        "90 22 0:45 / / rw master:3 shared:7 - overlay over\\040lay rw,lowerdir=/x\n";
    const auto root = FindRootMount(table);
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->deviceNumber, "0:45");
    EXPECT_EQ(root->fileSystem, "overlay");
    EXPECT_EQ(root->source, "over lay");
    const auto first = FindRootMount(table.substr(0, table.find("23 22")));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->source, "/dev/sda2");
    EXPECT_EQ(FindRootMount("23 22 0:21 / /proc rw - proc proc rw\n"), std::nullopt);
    EXPECT_EQ(FindRootMount(""), std::nullopt);
    // A cut line does not read past its fields.
    const auto cut = FindRootMount("22 1 8:2 / /");
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->source, "");
}

class LinuxRootVolumeIdTest : public ::testing::Test {
protected:
    TempDir dir;
    TMachineFactsRoots Roots() const {
        return {dir.path() / "sys", dir.path() / "proc", dir.path() / "dev", dir.path() / "run"};
    }
    void Mount(const std::string& number, const std::string& type, const std::string& source) const {
        dir.Write("proc/self/mountinfo", "1 0 0:1 / /proc rw - proc proc rw\n28 1 " + number + " / / rw,relatime - " +
                                             type + " " + source + " rw\n");
    }
};

TEST_F(LinuxRootVolumeIdTest, ByUuidLinkToTheRootDevice) {
    Mount("8:2", "ext4", "/dev/sda2");
    dir.Write("dev/sda1", "");
    dir.Write("dev/sda2", "");
    fs::create_directories(dir.path() / "dev/disk/by-uuid");
    fs::create_symlink("../../sda1", dir.path() / "dev/disk/by-uuid/1111-2222");
    fs::create_symlink("../../sda2", dir.path() / "dev/disk/by-uuid/3e6be9de-8139-11d1-9106-a43f08d823a6");
    EXPECT_EQ(ReadRootVolumeId(Roots()), "3e6be9de-8139-11d1-9106-a43f08d823a6");
    EXPECT_EQ(TLinuxMachineFacts(Roots()).SystemVolumeId(), "3e6be9de-8139-11d1-9106-a43f08d823a6");
}

TEST_F(LinuxRootVolumeIdTest, UdevDatabaseThenSuperblock) {
    Mount("254:0", "ext4", "/dev/vda");
    std::string image(2048, '\0');
    image[1024 + 0x38] = '\x53';
    image[1024 + 0x39] = '\xEF';
    for (int i = 0; i < 16; ++i) image[1024 + 0x68 + i] = static_cast<char>(0x10 * (i % 16) + i);
    dir.Write("dev/vda", image);
    EXPECT_EQ(ReadRootVolumeId(Roots()), "00112233-4455-6677-8899-aabbccddeeff");
    dir.Write("run/udev/data/b254:0", "E:ID_FS_TYPE=ext4\nE:ID_FS_UUID=0f0e0d0c-0000-0000-0000-000000000000\n");
    EXPECT_EQ(ReadRootVolumeId(Roots()), "0f0e0d0c-0000-0000-0000-000000000000");
}

TEST_F(LinuxRootVolumeIdTest, XfsSuperblockFoundThroughTheDeviceNumber) {
    // A root whose source is not a /dev path is found by the kernel's name for its number.
    Mount("253:1", "xfs", "rootfs");
    dir.Write("sys/dev/block/253:1/uevent", "MAJOR=253\nMINOR=1\nDEVNAME=dm-1\nDEVTYPE=disk\n");
    std::string image(512, '\0');
    image.replace(0, 4, "XFSB");
    for (int i = 0; i < 16; ++i) image[32 + i] = static_cast<char>(0xA0 + i);
    dir.Write("dev/dm-1", image);
    EXPECT_EQ(ReadRootVolumeId(Roots()), "a0a1a2a3-a4a5-a6a7-a8a9-aaabacadaeaf");
}

TEST_F(LinuxRootVolumeIdTest, NoBlockDeviceNoIdentifier) {
    EXPECT_EQ(ReadRootVolumeId(Roots()), "");  // no mount table
    Mount("0:45", "overlay", "overlay");
    EXPECT_EQ(ReadRootVolumeId(Roots()), "");
    Mount("8:2", "ext4", "/dev/sda2");
    dir.Write("dev/sda2", "too short for a superblock");
    EXPECT_EQ(ReadRootVolumeId(Roots()), "");
    Mount("../../x", "ext4", "weird");
    EXPECT_EQ(ReadRootVolumeId(Roots()), "");
}

TEST(LinuxMachineFactsTest, HostNameAndNumericAddress) {
    TLinuxMachineFacts facts;
    char name[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(::gethostname(name, sizeof name), 0);
    EXPECT_EQ(facts.HostName(), std::string(name));
    // A dotted address resolves without asking any name service.
    EXPECT_EQ(facts.ResolveIPv4("127.0.0.1"), (std::vector<TIPv4Address>{{127, 0, 0, 1}}));
    EXPECT_TRUE(facts.ResolveIPv4("").empty());
    EXPECT_TRUE(facts.ResolveIPv4(std::string("127.0.0.1\0evil", 14)).empty());
}

TEST(LinuxMachineFactsTest, EmptyMachineFoldersGiveEmptyFacts) {
    TempDir dir;
    TLinuxMachineFacts facts({dir.path() / "sys", dir.path() / "proc", dir.path() / "dev", dir.path() / "run"});
    EXPECT_EQ(facts.FirstDiskSerial(), "");
    EXPECT_TRUE(facts.AdapterAddresses().empty());
    EXPECT_EQ(facts.SystemVolumeId(), "");
}

}  // namespace
}  // namespace kiv
