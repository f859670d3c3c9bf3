#pragma once
// "KIV://" links: a payload that decodes (hex, base64, descrambling) to the
// address of the portal that hands out the connection file.
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

// The link-format constants shared with the servers that issue links.
constexpr uint16_t kLinkStartKey = 0x5A3C;
constexpr uint32_t kLinkKeyIncrement = 0x9E37;

// True with the decoded address in result, or false with the parser's text in result.
bool ParseLink(std::string_view text, std::string& result);
std::string DescrambleLink(std::string_view bytes);
// The inverse, for portal administrators: a link that ParseLink decodes to address.
std::string MakeLink(std::string_view address);

}  // namespace kiv
