#pragma once
// The local port mapper that carries the control's connection through the farm's
// proxy: the control dials 127.0.0.1 on the mapper's port.
#include <cstdint>
#include <string>

#include "launch/KivFile.h"

namespace kiv {

class IPortMapper {
public:
    virtual ~IPortMapper() = default;
    virtual void SetProxy(const TProxySet& proxy) = 0;
    virtual void SetActive(bool active) = 0;
    virtual void SetTargetHost(const std::string& host) = 0;
    virtual void SetTargetPort(int32_t port) = 0;
    // The listening port chosen by the last start.
    virtual int32_t GetLocalPort() const = 0;
};

}  // namespace kiv
