#pragma once
// TNetSpeedReport: the traffic record the meter sends to the floating status
// window once a second. 187 bytes, little-endian, the fields one after the
// other without gaps:
//   0   4  OwnerWindow          the session window's id
//   4  41  server session number, decimal, length-prefixed (byte 0 = length, at most 40)
//  45  12  SessionID            length-prefixed, at most 11
//  57  41  ServerName           length-prefixed, cut to 40
//  98  41  AppName              length-prefixed, cut to 40
// 139   8  SentLastSecond       int64
// 147   8  ReceivedLastSecond   int64
// 155   8  SentRate             int64
// 163   8  ReceivedRate         int64
// 171   8  SentTotal            int64
// 179   8  ReceivedTotal        int64
// Bytes after the last character of a text carry no meaning (zero here).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kiv {

struct TNetSpeedReport {
    static constexpr std::size_t kSize = 187;

    uint32_t OwnerWindow = 0;
    std::string ServerSessionNo;
    std::string SessionID;
    std::string ServerName;
    std::string AppName;
    int64_t SentLastSecond = 0;
    int64_t ReceivedLastSecond = 0;
    int64_t SentRate = 0;
    int64_t ReceivedRate = 0;
    int64_t SentTotal = 0;
    int64_t ReceivedTotal = 0;

    // Texts longer than their field are cut.
    std::array<uint8_t, kSize> Encode() const;
    // nullopt unless exactly kSize bytes; a length byte beyond its field is cut to the field.
    static std::optional<TNetSpeedReport> Decode(std::span<const uint8_t> bytes);

    friend bool operator==(const TNetSpeedReport&, const TNetSpeedReport&) = default;
};

}  // namespace kiv
