#pragma once
// A socket on 127.0.0.1 that listens and never accepts: connections complete in
// the kernel, and no byte ever comes back. The peer that never answers.
#include <cstdint>

namespace kiv::test {

class TSilentListener {
public:
    TSilentListener();
    ~TSilentListener();
    TSilentListener(const TSilentListener&) = delete;
    TSilentListener& operator=(const TSilentListener&) = delete;
    uint16_t Port() const { return port_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

}  // namespace kiv::test
