#pragma once
// The client's first PDU: a TPKT holding an X.224 Connection Request. Its
// variable part may start with a routing token (load-balance info, any bytes
// up to and including a CR LF) or a "Cookie: mstshash=" cookie, followed by
// the 8-byte negotiation request and the optional 36-byte correlation info.
//
// FreeRDP's server refuses a routing token that does not start with
// "Cookie: msts=", while our clients send "AGS:..." tokens. So the server
// reads this PDU itself, records the token, and hands FreeRDP the same
// request without it.
#include <cstddef>
#include <optional>
#include <string>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

// The total length a TPKT header announces, once its 4 bytes are there;
// nullopt when `head` is not a TPKT header.
std::optional<std::size_t> TpktLength(const std::uint8_t* head, std::size_t size);

struct TConnectionRequest {
    TBytes routingToken;  // exactly as sent, CR LF included; empty when none
    std::string cookie;   // the value after "Cookie: mstshash=", without CR LF
    TBytes forwarded;     // the PDU for FreeRDP: the routing token removed, the lengths mended
};

// Takes one complete TPKT. Anything that is not a well-formed Connection
// Request is forwarded unchanged (FreeRDP then answers it as it sees fit).
TConnectionRequest SplitConnectionRequest(const TBytes& pdu);

}  // namespace kiv::demo
