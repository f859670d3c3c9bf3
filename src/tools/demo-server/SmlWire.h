#pragma once
// The seamless family as the server shell speaks it: window updates out
// (header, UTF-16 title, icon file, region block) and the client's 21-byte
// window events in.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

// Right and bottom exclusive, as on the wire.
struct TWindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const TWindowRect&, const TWindowRect&) = default;
};

struct TWindowUpdate {
    std::int64_t handle = 0;
    std::uint16_t flags = 0;
    bool inTaskbar = false;
    std::uint32_t style = 0;
    TWindowRect rect;
    std::u16string title;
    TBytes icon;                     // a whole icon file, or nothing
    std::vector<TWindowRect> region;  // relative to the window's top-left; empty: a plain rectangle
};

// The message bytes: 38-byte header, title, icon, region block (32-byte header
// {32, 1, count, count * 16, bounding rectangle}, then the rectangles).
TBytes BuildWindowUpdate(const TWindowUpdate& update);

// A window event of the client.
struct TWindowCommand {
    std::int64_t handle = 0;
    std::uint16_t command = 0;
    std::uint32_t data = 0;  // the first four bytes of Data
    TBytes dataBytes;        // all eight
};
// nullopt for anything that is not a seamless message of at least 21 bytes.
std::optional<TWindowCommand> ReadWindowCommand(const TBytes& message);

std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace kiv::demo
