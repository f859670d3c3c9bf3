#pragma once
// The tray family as the server shell speaks it: icon messages out (the
// 86-byte header and an icon file) and the client's 25-byte mouse messages in.
#include <cstdint>
#include <optional>
#include <string>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

struct TTrayIconUpdate {
    std::int32_t window = 0;
    std::uint8_t operation = 0;  // 0 add, 1 modify, 2 delete
    std::int32_t id = 0;
    std::uint16_t callback = 0;
    std::string tip;  // at most 64 bytes go out
    TBytes icon;      // a whole icon file, or nothing
};
TBytes BuildTrayMessage(const TTrayIconUpdate& update);

struct TTrayMouse {
    std::int32_t window = 0;
    std::int32_t id = 0;
    std::uint32_t callback = 0;
    std::uint32_t message = 0;
    int x = 0;  // the cursor: the low and high 16 bits, signed
    int y = 0;
};
// nullopt for anything that is not a tray message of at least 25 bytes.
std::optional<TTrayMouse> ReadTrayMouse(const TBytes& message);

}  // namespace kiv::demo
