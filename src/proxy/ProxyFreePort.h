#pragma once
// The local port the mapper listens on: the first port from 5890 upward that a
// socket can be bound to.
#include <cstdint>
#include <string>

namespace kiv {

inline constexpr int32_t kFirstMapperPort = 5890;

struct TFreePort {
    int32_t port = 0;   // 0: none found
    std::string error;  // why not, when port is 0
};

// One probe socket per candidate, closed again at once. When no socket can be
// created at all (the process is out of descriptors, say) the search ends there
// rather than running through every port.
TFreePort FindFreePort(int32_t first = kFirstMapperPort);

}  // namespace kiv
