// Any bytes as a command line's link: the parser must answer without reading
// past them, and every address a portal administrator makes a link of must
// come back from it unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "launch/KivLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    std::string result;
    const bool isLink = kiv::ParseLink(bytes, result);
    if (!isLink && result != "Is not KIV protocol\r\neg:KIV://xxxx") __builtin_trap();
    if (isLink && result.size() > size) __builtin_trap();

    const std::string link = kiv::MakeLink(bytes);
    std::string address;
    if (!kiv::ParseLink(link, address) || address != bytes) __builtin_trap();
    // Browsers add a "/" to the link; it must not change the address.
    if (!kiv::ParseLink(link + "/", address) || address != bytes) __builtin_trap();

    if (kiv::DescrambleLink(kiv::DescrambleLink(bytes)) != bytes) __builtin_trap();
    return 0;
}
