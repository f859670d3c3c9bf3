#include "platform/linux/UsbLibraryLoader.h"

#include <dlfcn.h>

#include <cstring>
#include <vector>

#include "platform/linux/ProgramFolder.h"

namespace kiv {

namespace {

// A device list is a few lines per device; a library that asks for more than
// this is not believed.
constexpr uint32_t kMaxListBytes = 1024 * 1024;

}  // namespace

TUsbLibraryLoader::TUsbLibraryLoader() : library_(LibraryBesideProgram(kUsbLibraryFileName)) {}

TUsbLibraryLoader::TUsbLibraryLoader(std::filesystem::path library) : library_(std::move(library)) {}

void TUsbLibraryLoader::Load() {
    std::call_once(once_, [this] {
        handle_ = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) return;
        getUsbList_ = reinterpret_cast<TGetUsbList>(dlsym(handle_, "GetUsbList"));
        redirectUsb_ = reinterpret_cast<TRedirectUsb>(dlsym(handle_, "RedirectUsb"));
        sendClientInitParam_ = reinterpret_cast<TSendClientInitParam>(dlsym(handle_, "SendClientInitParam"));
    });
}

bool TUsbLibraryLoader::Loaded() {
    Load();
    return handle_ != nullptr;
}

std::optional<std::string> TUsbLibraryLoader::GetUsbList() {
    Load();
    if (!getUsbList_) return std::nullopt;
    uint32_t size = 0;
    getUsbList_(nullptr, &size);
    if (size == 0) return std::string();
    if (size > kMaxListBytes) return std::string();
    // One byte more than asked for, always zero, so the text ends inside the buffer
    // whatever the library writes.
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    uint32_t filled = size;
    getUsbList_(buffer.data(), &filled);
    return std::string(buffer.data(), strnlen(buffer.data(), size));
}

bool TUsbLibraryLoader::RedirectUsb(int64_t deviceKey, int32_t value) {
    Load();
    if (!redirectUsb_) return false;
    redirectUsb_(deviceKey, value);
    return true;
}

bool TUsbLibraryLoader::SendClientInitParam(const std::string& usbInitParam) {
    Load();
    if (!sendClientInitParam_) return false;
    sendClientInitParam_(usbInitParam.c_str());
    return true;
}

}  // namespace kiv
