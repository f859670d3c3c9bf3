#pragma once
// The USB redirection library, loaded at run time. It is a separate component
// that a build may leave out: "librusbrdr.so" beside the program is tried first,
// then the loader's normal search path. The library is opened once, on first use,
// and never closed (it may keep threads of its own). A missing library or a
// missing export means the call is skipped.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "ports/UsbLibrary.h"

namespace kiv {

inline constexpr const char* kUsbLibraryFileName = "librusbrdr.so";

class TUsbLibraryLoader final : public IUsbLibrary {
public:
    // The library beside the program, else by name through the search path.
    TUsbLibraryLoader();
    // Exactly this library (a path, or a bare name for the search path).
    explicit TUsbLibraryLoader(std::filesystem::path library);

    std::optional<std::string> GetUsbList() override;
    bool RedirectUsb(int64_t deviceKey, int32_t value) override;
    bool SendClientInitParam(const std::string& usbInitParam) override;

    // Whether the library could be opened (opens it if that has not been tried).
    bool Loaded();

private:
    using TGetUsbList = void (*)(char* buffer, uint32_t* size);
    using TRedirectUsb = void (*)(int64_t key, int32_t value);
    using TSendClientInitParam = void (*)(const char* text);

    void Load();

    std::filesystem::path library_;
    std::once_flag once_;
    void* handle_ = nullptr;
    TGetUsbList getUsbList_ = nullptr;
    TRedirectUsb redirectUsb_ = nullptr;
    TSendClientInitParam sendClientInitParam_ = nullptr;
};

}  // namespace kiv
