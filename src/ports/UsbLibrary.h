#pragma once
// The USB redirection library, a separate component. It may be missing, and any
// of its functions may be missing: then the call is skipped.
#include <cstdint>
#include <optional>
#include <string>

namespace kiv {

// The library's name in the control's plug-in list.
inline constexpr const char* kUsbPluginName = "rusbrdr.dll";

class IUsbLibrary {
public:
    virtual ~IUsbLibrary() = default;
    // The device list as "key=value" text lines (empty when there are no devices);
    // nullopt when the library or the function is missing.
    virtual std::optional<std::string> GetUsbList() = 0;
    // key = tag x 65536 + index (the tag as a signed number); value 0.
    virtual bool RedirectUsb(int64_t deviceKey, int32_t value) = 0;
    // The user and session parameters, once the server shell is up.
    virtual bool SendClientInitParam(const std::string& usbInitParam) = 0;
};

}  // namespace kiv
