#pragma once
// A message to the floating status window, as one datagram on its Unix socket.
// The status window was a window once, so a message keeps a window message's
// parts. Little-endian:
//   0  4  kind      kStatusCopyData (0x004A) or kStatusClose (0x0010)
//   4  4  wParam    1 with a traffic record, 2 with the close
//   8  4  lParam    the close: the session's number; a copy-data message: its
//                   dwData (always 0)
//  12  4  size      the payload's byte count (a copy-data message's cbData)
//  16  .. payload   a copy-data message: the 187-byte TNetSpeedReport; nothing else
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kiv {

inline constexpr uint32_t kStatusCopyData = 0x004A;
inline constexpr uint32_t kStatusClose = 0x0010;
inline constexpr uint32_t kStatusReportWParam = 1;
inline constexpr uint32_t kStatusCloseWParam = 2;

struct TStatusWindowMessage {
    static constexpr std::size_t kHeaderSize = 16;
    static constexpr std::size_t kMaxPayload = 4096;

    uint32_t kind = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
    std::vector<uint8_t> payload;

    std::vector<uint8_t> Encode() const;
    // nullopt when the size field does not match the datagram or the payload is too large.
    static std::optional<TStatusWindowMessage> Decode(std::span<const uint8_t> datagram);
};

}  // namespace kiv
