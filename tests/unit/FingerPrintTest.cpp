#include "session/FingerPrint.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kiv {
namespace {

using test::TempDir;

// A machine whose every fact the test sets; it counts how often it is asked.
class FakeMachineFacts : public IMachineFacts {
public:
    std::optional<std::vector<TCpuIdLeaf1>> processors;
    std::string diskSerial;
    std::vector<std::optional<THardwareAddress>> adapters;
    std::string volumeId;
    std::string hostName;
    std::vector<TIPv4Address> addresses;

    int processorReads = 0;
    int adapterReads = 0;
    std::vector<std::string> resolvedNames;

    std::optional<std::vector<TCpuIdLeaf1>> CpuIdLeaf1PerProcessor() override {
        ++processorReads;
        return processors;
    }
    std::string FirstDiskSerial() override { return diskSerial; }
    std::vector<std::optional<THardwareAddress>> AdapterAddresses() override {
        ++adapterReads;
        return adapters;
    }
    std::string SystemVolumeId() override { return volumeId; }
    std::string HostName() override { return hostName; }
    std::vector<TIPv4Address> ResolveIPv4(std::string_view name) override {
        resolvedNames.emplace_back(name);
        return addresses;
    }
};

// Two processors that differ only in their APIC number (EBX bits 24-31), listed in
// the opposite of their text order.
const TCpuIdLeaf1 kCpu1{0x000306a9, 0x01010800, 0x7fbae3ff, 0xbfebfbff};
const TCpuIdLeaf1 kCpu0{0x000306a9, 0x00010800, 0x7fbae3ff, 0xbfebfbff};
const std::string kCpuPart =
    "000306a9000108007fbae3ffbfebfbff"
    "000306a9010108007fbae3ffbfebfbff";
const std::string kDisk = "  WD-WCC4N1234567";
const THardwareAddress kAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const std::string kNetworkPart = "00-1A-2B-3C-4D-5E";

FakeMachineFacts FullMachine() {
    FakeMachineFacts facts;
    facts.processors = std::vector<TCpuIdLeaf1>{kCpu1, kCpu0};
    facts.diskSerial = kDisk;
    facts.adapters = {kAddress};
    return facts;
}

TEST(ShortDigestTest, Md5KnownAnswers) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    // More than one 64-byte block.
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    // Bytes, not a C string: a zero byte is digested too.
    EXPECT_NE(Md5Hex(std::string("a\0b", 3)), Md5Hex("a"));
}

TEST(ShortDigestTest, KeepsEveryFourthDigitUpperCased) {
    // 900150983cd24fb0d6963f7d28e17f72: digits 1, 5, 9, ..., 29.
    EXPECT_EQ(ShortDigest("abc"), "9534D327");
    // d41d8cd98f00b204e9800998ecf8427e
    EXPECT_EQ(ShortDigest(""), "D88BE0E4");
}

TEST(FingerPrintVariantATest, AllSourcesAnswer) {
    FakeMachineFacts facts = FullMachine();
    const TVariantAParts parts = ReadVariantAParts(facts);
    EXPECT_EQ(parts.processor, kCpuPart);
    EXPECT_EQ(parts.disk, kDisk);
    EXPECT_EQ(parts.network, kNetworkPart);
    EXPECT_EQ(VariantAIdentifier(parts), "A9481F44F");
    EXPECT_EQ(VariantAIdentifier(parts), "A" + ShortDigest(kCpuPart + kDisk + kNetworkPart));
}

TEST(FingerPrintVariantATest, EachFailingSourceLeavesItsPartEmpty) {
    {
        FakeMachineFacts facts = FullMachine();
        facts.processors.reset();
        const TVariantAParts parts = ReadVariantAParts(facts);
        EXPECT_EQ(parts.processor, "");
        EXPECT_EQ(VariantAIdentifier(parts), "A31801CA2");
    }
    {
        // The disk cannot be opened without administrator rights: still an identifier.
        FakeMachineFacts facts = FullMachine();
        facts.diskSerial.clear();
        const TVariantAParts parts = ReadVariantAParts(facts);
        EXPECT_EQ(parts.disk, "");
        EXPECT_EQ(VariantAIdentifier(parts), "AC5C92FAF");
    }
    {
        FakeMachineFacts facts = FullMachine();
        facts.adapters = {std::nullopt, std::nullopt};
        const TVariantAParts parts = ReadVariantAParts(facts);
        EXPECT_EQ(parts.network, "");
        EXPECT_EQ(VariantAIdentifier(parts), "AE6FC7A11");
    }
    {
        FakeMachineFacts nothing;
        EXPECT_EQ(VariantAIdentifier(ReadVariantAParts(nothing)), "A" + ShortDigest(""));
    }
}

TEST(FingerPrintVariantATest, ProcessorsAnsweringAlikeGiveNoProcessorPart) {
    FakeMachineFacts facts;
    facts.processors = std::vector<TCpuIdLeaf1>{kCpu0, kCpu1, kCpu0};
    EXPECT_EQ(GetCpuIds(facts), "");
    facts.processors = std::vector<TCpuIdLeaf1>{kCpu0};
    EXPECT_EQ(GetCpuIds(facts), "000306a9000108007fbae3ffbfebfbff");
    facts.processors = std::vector<TCpuIdLeaf1>{};
    EXPECT_EQ(GetCpuIds(facts), "");
}

TEST(FingerPrintVariantATest, ProcessorTextsAreSortedByteWise) {
    FakeMachineFacts facts;
    // The 'a' of the first text sorts after the '9' of the second.
    facts.processors = std::vector<TCpuIdLeaf1>{{0xa, 0, 0, 0}, {0x9, 0xffffffff, 0, 0}};
    EXPECT_EQ(GetCpuIds(facts),
              "00000009ffffffff0000000000000000"
              "0000000a000000000000000000000000");
}

TEST(FingerPrintVariantATest, DiskSerialEndsAtZeroByteOrTwentyCharacters) {
    FakeMachineFacts facts;
    facts.diskSerial = std::string("S3Z1NB0K\0garbage", 16);
    EXPECT_EQ(GetDiskSerial(facts), "S3Z1NB0K");
    facts.diskSerial = "     WD-WCC4N1234567890";
    EXPECT_EQ(GetDiskSerial(facts), "     WD-WCC4N1234567");
    facts.diskSerial = " blanks  kept ";
    EXPECT_EQ(GetDiskSerial(facts), " blanks  kept ");
}

TEST(FingerPrintVariantATest, LastAdapterThatAnswersWins) {
    const THardwareAddress second{0xde, 0xad, 0xbe, 0xef, 0x00, 0x01};
    FakeMachineFacts facts;
    facts.adapters = {kAddress, std::nullopt, second, std::nullopt};
    EXPECT_EQ(GetMacAddress(facts), "DE-AD-BE-EF-00-01");
    // A failing status after an earlier answer keeps the earlier address.
    facts.adapters = {kAddress, std::nullopt};
    EXPECT_EQ(GetMacAddress(facts), kNetworkPart);
    // Too short to be an adapter address: no answer; a longer one gives its first 6 bytes.
    facts.adapters = {kAddress, THardwareAddress{1, 2, 3, 4}};
    EXPECT_EQ(GetMacAddress(facts), kNetworkPart);
    facts.adapters = {THardwareAddress{0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5, 0x66, 0x77}};
    EXPECT_EQ(GetMacAddress(facts), "A0-B1-C2-D3-E4-F5");
    facts.adapters = {};
    EXPECT_EQ(GetMacAddress(facts), "");
}

TEST(FingerPrintVariantATest, RecomputedOnEveryCall) {
    TempDir dir;
    const auto ini = dir.Write("KivClient.ini", "[FingerPrints]\r\nUSE=0\r\n");
    FakeMachineFacts facts = FullMachine();
    const std::string first = GetFingerPrint(facts, ini);
    EXPECT_EQ(GetFingerPrint(facts, ini), first);
    EXPECT_EQ(facts.processorReads, 2);
    EXPECT_EQ(facts.adapterReads, 2);
    facts.adapters.push_back(THardwareAddress{0xde, 0xad, 0xbe, 0xef, 0x00, 0x01});
    EXPECT_NE(GetFingerPrint(facts, ini), first);
}

TEST(VolumeSerialTest, SerialFromFileSystemIdentifier) {
    EXPECT_EQ(VolumeSerialFromId("1234-ABCD"), 0x1234ABCDu);                             // FAT, exFAT
    EXPECT_EQ(VolumeSerialFromId("3e6be9de-8139-11d1-9106-a43f08d823a6"), 0x3E6BE9DEu);  // a UUID
    EXPECT_EQ(VolumeSerialFromId("0ABC1234"), 0x0ABC1234u);
    EXPECT_EQ(VolumeSerialFromId("1A2B3C4D5E6F7081"), 0x5E6F7081u);  // 64-bit serial: its low half
    EXPECT_EQ(VolumeSerialFromId(""), std::nullopt);
    EXPECT_EQ(VolumeSerialFromId("1234-ABC"), std::nullopt);
    EXPECT_EQ(VolumeSerialFromId("1234-ABCG"), std::nullopt);
    EXPECT_EQ(VolumeSerialFromId("1234 ABCD"), std::nullopt);
}

TEST(VolumeSerialTest, FourDigitsDashAndTheRest) {
    EXPECT_EQ(FormatVolumeSerial(0x1234ABCD), "1234-ABCD");
    EXPECT_EQ(FormatVolumeSerial(0x0ABC1234), "ABC1-234");  // no leading zero
    EXPECT_EQ(FormatVolumeSerial(0x1ABCD), "1ABC-D");
    EXPECT_EQ(FormatVolumeSerial(0xABCD), "ABCD-");
    EXPECT_EQ(FormatVolumeSerial(0x12), "12-");
    EXPECT_EQ(FormatVolumeSerial(0), "0-");
    EXPECT_EQ(FormatVolumeSerial(0xffffffff), "FFFF-FFFF");
}

TEST(VolumeSerialTest, VariantBDigestsTheVolumeText) {
    EXPECT_EQ(VariantBIdentifier("abc"), "B9534D327");
    FakeMachineFacts facts;
    facts.volumeId = "1234-abcd";
    EXPECT_EQ(GetVolumeSerialText(facts), "1234-ABCD");
    EXPECT_EQ(VariantBIdentifier(GetVolumeSerialText(facts)), "BED2EB86A");
    // No volume identifier reads as a failed query.
    facts.volumeId.clear();
    EXPECT_EQ(GetVolumeSerialText(facts), "0-");
    EXPECT_EQ(VariantBIdentifier(GetVolumeSerialText(facts)), "BC192D1BC");
}

TEST(FingerPrintUseTest, UseSelectsTheVariant) {
    TempDir dir;
    FakeMachineFacts facts = FullMachine();
    facts.volumeId = "1234-ABCD";
    const std::string a = "A9481F44F";
    const std::string b = "BED2EB86A";

    EXPECT_EQ(FingerPrintUse(dir.path() / "missing.ini"), 0);
    EXPECT_EQ(GetFingerPrint(facts, dir.path() / "missing.ini"), a);

    const auto noSection = dir.Write("none.ini", "[KivClient]\r\nTimeOut=5\r\n");
    EXPECT_EQ(GetFingerPrint(facts, noSection), a);

    const struct {
        const char* value;
        int32_t use;
        const std::string& identifier;
    } cases[] = {{"0", 0, a}, {"2", 2, b}, {"1", 1, b}, {"-1", -1, b}, {"0x10", 16, b}, {"two", 0, a}, {"", 0, a}};
    for (const auto& c : cases) {
        const auto ini = dir.Write("KivClient.ini", std::string("[FingerPrints]\r\nUSE=") + c.value + "\r\n");
        EXPECT_EQ(FingerPrintUse(ini), c.use) << c.value;
        EXPECT_EQ(GetFingerPrint(facts, ini), c.identifier) << c.value;
    }
}

TEST(ComputerNameTest, HostNameAsNetBiosName) {
    FakeMachineFacts facts;
    facts.hostName = "pc-01";
    EXPECT_EQ(GetComputerNameText(facts), "PC-01");
    facts.hostName = "accounting-workstation-12";
    EXPECT_EQ(GetComputerNameText(facts), "ACCOUNTING-WORK");
    facts.hostName = "desk7.branch.example.com";
    EXPECT_EQ(GetComputerNameText(facts), "DESK7");
    facts.hostName = "exactly15chars0";
    EXPECT_EQ(GetComputerNameText(facts), "EXACTLY15CHARS0");
    facts.hostName = "";
    EXPECT_EQ(GetComputerNameText(facts), "");
}

TEST(LocalIPsTest, AddressesOfTheHostNameInResolverOrder) {
    FakeMachineFacts facts;
    facts.hostName = "desk7";
    facts.addresses = {{10, 0, 0, 5}, {192, 168, 1, 7}, {127, 0, 1, 1}};
    EXPECT_EQ(GetLocalIPs(facts), "10.0.0.5,192.168.1.7,127.0.1.1");
    ASSERT_EQ(facts.resolvedNames.size(), 1u);
    EXPECT_EQ(facts.resolvedNames[0], "desk7");

    facts.addresses = {{255, 255, 255, 255}};
    EXPECT_EQ(GetLocalIPs(facts), "255.255.255.255");
    facts.addresses = {};
    EXPECT_EQ(GetLocalIPs(facts), "");
}

TEST(LocalIPsTest, NoHostNameAsksNoResolver) {
    FakeMachineFacts facts;
    facts.addresses = {{10, 0, 0, 5}};
    EXPECT_EQ(GetLocalIPs(facts), "");
    // A name longer than the 63 characters the name buffer holds cannot be read.
    facts.hostName = std::string(64, 'h');
    EXPECT_EQ(GetLocalIPs(facts), "");
    EXPECT_TRUE(facts.resolvedNames.empty());
    facts.hostName = std::string(63, 'h');
    EXPECT_EQ(GetLocalIPs(facts), "10.0.0.5");
}

}  // namespace
}  // namespace kiv
