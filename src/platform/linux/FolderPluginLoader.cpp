#include "platform/linux/FolderPluginLoader.h"

#include <dlfcn.h>

#include "platform/linux/ProgramFolder.h"

namespace kiv {

TFolderPluginLoader::TFolderPluginLoader() : library_(LibraryBesideProgram(kFolderPluginFileName)) {}

TFolderPluginLoader::TFolderPluginLoader(std::filesystem::path library) : library_(std::move(library)) {}

TFolderPluginEntry TFolderPluginLoader::Entry() {
    std::call_once(once_, [this] {
        void* handle = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            problem_ = why ? why : library_.string() + ": cannot be loaded";
            return;
        }
        entry_ = reinterpret_cast<TFolderPluginEntry>(dlsym(handle, kFolderPluginEntryName));
        if (entry_ == nullptr) problem_ = library_.string() + ": no " + kFolderPluginEntryName;
    });
    return entry_;
}

}  // namespace kiv
