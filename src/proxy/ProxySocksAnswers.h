#pragma once
// The answers of SOCKS proxies: the SOCKS 4 reply, and the SOCKS 5 method,
// user/password and connect replies. A well-formed refusal is an Error whose
// `code` holds the proxy's code, so the log can name it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "proxy/ProxyAnswerState.h"

namespace kiv {

struct TSocksAnswer {
    TProxyAnswerState state = TProxyAnswerState::NeedMore;
    std::size_t consumed = 0;
    std::string reason;
    int code = -1;          // reply code, auth status or chosen method, once read
    std::string boundHost;  // Done: the address the proxy reports (printable text)
    uint16_t boundPort = 0;
};

inline constexpr int kSocks4Granted = 0x5A;
inline constexpr int kSocks5NoAuth = 0x00;
inline constexpr int kSocks5UserPassword = 0x02;

TSocksAnswer ParseSocks4Reply(std::string_view bytes);
TSocksAnswer ParseSocks5MethodReply(std::string_view bytes);
TSocksAnswer ParseSocks5AuthReply(std::string_view bytes);
TSocksAnswer ParseSocks5ConnectReply(std::string_view bytes);

std::string Socks4ReplyText(int code);
std::string Socks5ReplyText(int code);

}  // namespace kiv
