#pragma once
// The length-prefixed wide strings of the folder plug-in's border (the layout
// is described in ports/FolderPlugin.h): built from bytes for the plug-in, and
// read back into bytes when the plug-in hands one over.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ports/FolderPlugin.h"

namespace kiv {

class TWideStringBuffer {
public:
    // Exactly these bytes (a payload, kept as it came).
    static TWideStringBuffer FromBytes(std::span<const uint8_t> bytes);
    // An ASCII text as UTF-16 units (a channel name).
    static TWideStringBuffer FromAscii(std::string_view text);

    // Valid while this object lives.
    TFolderWideString Get() const;
    std::size_t ByteLength() const { return byteLength_; }

private:
    std::vector<uint32_t> storage_;  // the prefix, the bytes, the zero unit; 4-byte aligned
    std::size_t byteLength_ = 0;
};

// The largest payload taken from the plug-in; a length prefix above it is not believed.
inline constexpr uint32_t kFolderMaxBytes = 16u * 1024 * 1024;

// The bytes of a wide string the plug-in handed over; nullopt for a null
// pointer or an unbelievable length.
std::optional<std::vector<uint8_t>> FolderWideStringBytes(TFolderWideString text);
// The UTF-16 units as ASCII; a unit outside ASCII becomes '?'.
std::optional<std::string> FolderWideStringAscii(TFolderWideString text);

}  // namespace kiv
