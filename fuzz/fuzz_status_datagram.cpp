// Any datagram on the status window's socket (any local program of the user may
// send one): the framing and the traffic record read nothing past the datagram,
// and what they accept encodes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "infra/NetSpeedReport.h"
#include "infra/StatusWindowMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> datagram(data, size);
    const auto message = kiv::TStatusWindowMessage::Decode(datagram);
    if (!message) return 0;
    if (message->Encode() != std::vector<uint8_t>(data, data + size)) std::abort();
    if (const auto report = kiv::TNetSpeedReport::Decode(message->payload)) {
        // A length byte beyond its field is cut, so only a faithful record comes back the same.
        const auto again = kiv::TNetSpeedReport::Decode(report->Encode());
        if (!again || !(*again == *report)) std::abort();
    }
    return 0;
}
