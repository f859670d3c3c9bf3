#include "proxy/ProxySocksAnswers.h"

#include <arpa/inet.h>

#include <cstdio>

namespace kiv {

namespace {

uint8_t Byte(std::string_view bytes, std::size_t at) { return static_cast<uint8_t>(bytes[at]); }

uint16_t PortAt(std::string_view bytes, std::size_t at) {
    return static_cast<uint16_t>((Byte(bytes, at) << 8) | Byte(bytes, at + 1));
}

std::string Hex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

TSocksAnswer Failure(std::string reason, int code = -1) {
    TSocksAnswer answer;
    answer.state = TProxyAnswerState::Error;
    answer.reason = std::move(reason);
    answer.code = code;
    return answer;
}

TSocksAnswer Complete(std::size_t consumed, int code) {
    TSocksAnswer answer;
    answer.state = TProxyAnswerState::Done;
    answer.consumed = consumed;
    answer.code = code;
    return answer;
}

std::string AddressText(int family, const char* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (::inet_ntop(family, address, text, sizeof text) == nullptr) return {};
    return text;
}

// A name the proxy reports may hold any bytes; only printable ones are shown.
std::string PrintableText(std::string_view bytes) {
    std::string text(bytes);
    for (char& c : text)
        if (c < 0x20 || c > 0x7E) c = '?';
    return text;
}

}  // namespace

std::string Socks4ReplyText(int code) {
    switch (code) {
    case 0x5A: return "request granted";
    case 0x5B: return "request rejected or failed";
    case 0x5C: return "no identd on the client";
    case 0x5D: return "user id not confirmed by identd";
    default: return "unknown reply";
    }
}

std::string Socks5ReplyText(int code) {
    switch (code) {
    case 0: return "succeeded";
    case 1: return "general failure";
    case 2: return "connection not allowed by ruleset";
    case 3: return "network unreachable";
    case 4: return "host unreachable";
    case 5: return "connection refused";
    case 6: return "TTL expired";
    case 7: return "command not supported";
    case 8: return "address type not supported";
    default: return "unassigned reply";
    }
}

// VN CD DSTPORT(2) DSTIP(4). Servers answer with version 0; some echo 4.
TSocksAnswer ParseSocks4Reply(std::string_view bytes) {
    if (!bytes.empty() && Byte(bytes, 0) != 0 && Byte(bytes, 0) != 4)
        return Failure("not a SOCKS 4 answer (version " + Hex2(Byte(bytes, 0)) + ")");
    if (bytes.size() >= 2 && Byte(bytes, 1) != kSocks4Granted)
        return Failure("SOCKS 4 refused: " + Socks4ReplyText(Byte(bytes, 1)) + " (" + Hex2(Byte(bytes, 1)) + ")",
                       Byte(bytes, 1));
    if (bytes.size() < 8) return TSocksAnswer{};
    TSocksAnswer answer = Complete(8, kSocks4Granted);
    answer.boundPort = PortAt(bytes, 2);
    answer.boundHost = AddressText(AF_INET, bytes.data() + 4);
    return answer;
}

// VER METHOD
TSocksAnswer ParseSocks5MethodReply(std::string_view bytes) {
    if (!bytes.empty() && Byte(bytes, 0) != 5)
        return Failure("not a SOCKS 5 answer (version " + Hex2(Byte(bytes, 0)) + ")");
    if (bytes.size() < 2) return TSocksAnswer{};
    if (Byte(bytes, 1) == 0xFF) return Failure("SOCKS 5 refused: no acceptable authentication method (0xFF)", 0xFF);
    return Complete(2, Byte(bytes, 1));
}

// VER STATUS of the user/password sub-negotiation.
TSocksAnswer ParseSocks5AuthReply(std::string_view bytes) {
    if (!bytes.empty() && Byte(bytes, 0) != 1)
        return Failure("not a SOCKS 5 user/password answer (version " + Hex2(Byte(bytes, 0)) + ")");
    if (bytes.size() < 2) return TSocksAnswer{};
    if (Byte(bytes, 1) != 0)
        return Failure("SOCKS 5 refused: user name or password rejected (" + Hex2(Byte(bytes, 1)) + ")", Byte(bytes, 1));
    return Complete(2, 0);
}

// VER REP RSV ATYP BND.ADDR BND.PORT
TSocksAnswer ParseSocks5ConnectReply(std::string_view bytes) {
    if (!bytes.empty() && Byte(bytes, 0) != 5)
        return Failure("not a SOCKS 5 answer (version " + Hex2(Byte(bytes, 0)) + ")");
    if (bytes.size() >= 2 && Byte(bytes, 1) != 0)
        return Failure("SOCKS 5 refused: " + Socks5ReplyText(Byte(bytes, 1)) + " (" + std::to_string(Byte(bytes, 1)) + ")",
                       Byte(bytes, 1));
    if (bytes.size() < 4) return TSocksAnswer{};
    std::size_t addressStart = 4;
    std::size_t addressLength = 0;
    switch (Byte(bytes, 3)) {
    case 1: addressLength = 4; break;
    case 4: addressLength = 16; break;
    case 3:
        if (bytes.size() < 5) return TSocksAnswer{};
        addressStart = 5;
        addressLength = Byte(bytes, 4);
        break;
    default: return Failure("SOCKS 5 answer with unknown address type " + Hex2(Byte(bytes, 3)));
    }
    const std::size_t total = addressStart + addressLength + 2;
    if (bytes.size() < total) return TSocksAnswer{};
    TSocksAnswer answer = Complete(total, 0);
    const std::string_view address = bytes.substr(addressStart, addressLength);
    if (Byte(bytes, 3) == 1) answer.boundHost = AddressText(AF_INET, address.data());
    else if (Byte(bytes, 3) == 4) answer.boundHost = AddressText(AF_INET6, address.data());
    else answer.boundHost = PrintableText(address);
    answer.boundPort = PortAt(bytes, addressStart + addressLength);
    return answer;
}

}  // namespace kiv
