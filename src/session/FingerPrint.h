#pragma once
// The three facts the portal and the server shell are told about this machine: the
// machine identifier ("Finger=", "/M:", "finger=", "FP="), the computer name
// ("Computer=") and the local IPv4 addresses ("IP=").
//
// The identifier is a variant letter and 8 upper-case hexadecimal digits. Variant A
// digests what the hardware says (processors, first disk, network adapter) and is
// read afresh on every call; variant B digests the system volume's serial.
// "KivClient.ini" [FingerPrints] USE picks one: 0 (the default) is A, anything else B.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ports/MachineFacts.h"

namespace kiv {

// MD5 of the bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

// Every fourth digit of the MD5 (the 1st, 5th, ..., 29th), upper-cased: 8 digits.
std::string ShortDigest(std::string_view text);

// The three parts of variant A; a part whose source failed is empty.
struct TVariantAParts {
    std::string processor;
    std::string disk;
    std::string network;
};

// Leaf 1 of every processor as 32 lower-case digits each, sorted and joined; empty
// when the processors could not be read one by one or two of them answer alike.
std::string GetCpuIds(IMachineFacts& facts);
// The disk's serial up to its first zero byte, at most 20 characters, blanks kept.
std::string GetDiskSerial(IMachineFacts& facts);
// The address of the last adapter that answered, as 00-1A-2B-3C-4D-5E; empty when none did.
std::string GetMacAddress(IMachineFacts& facts);

TVariantAParts ReadVariantAParts(IMachineFacts& facts);
std::string VariantAIdentifier(const TVariantAParts& parts);

// The 32-bit volume serial a file-system identifier stands for: a 16-digit (64-bit)
// serial gives its low half, anything longer than 8 digits its first 8 ("1234-ABCD"
// is 0x1234ABCD); nullopt when it is not hexadecimal or shorter than 8 digits.
std::optional<uint32_t> VolumeSerialFromId(std::string_view volumeId);
// The serial in upper-case hex without leading zeros, cut into 4 digits, "-", and the
// rest (at most 4): 0x1234ABCD gives "1234-ABCD", 0x0ABC1234 "ABC1-234", 0 "0-".
std::string FormatVolumeSerial(uint32_t serial);
// The system volume's text as variant B digests it; an unknown serial counts as 0.
std::string GetVolumeSerialText(IMachineFacts& facts);
std::string VariantBIdentifier(std::string_view volumeSerialText);

// [FingerPrints] USE of the local settings file; 0 when the file or the value is absent.
int32_t FingerPrintUse(const std::filesystem::path& localIni);

std::string GetFingerPrint(IMachineFacts& facts, const std::filesystem::path& localIni);

// The computer's NetBIOS-style name: the host name's first label, upper-cased, at
// most 15 characters.
std::string GetComputerNameText(IMachineFacts& facts);

// The IPv4 addresses of the local host name, dotted, joined with ","; empty when the
// name is unknown or does not resolve.
std::string GetLocalIPs(IMachineFacts& facts);

}  // namespace kiv
