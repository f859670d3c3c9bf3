#pragma once
// The folder plug-in "libPubDir_Client.so", loaded at run time: beside the
// program first, then through the loader's search path. The client starts
// without it. The plug-in's entry point is the function it exports under the
// fixed name "PubDir_Ordinal1" (the library's first export; the name stands for
// the export number the entry point always had). The library is opened once
// and never closed: its receive function stays valid until the process ends.
#include <filesystem>
#include <mutex>
#include <string>

#include "ports/FolderPlugin.h"

namespace kiv {

inline constexpr const char* kFolderPluginFileName = "libPubDir_Client.so";
inline constexpr const char* kFolderPluginEntryName = "PubDir_Ordinal1";

class TFolderPluginLoader final : public IFolderPlugin {
public:
    // The library beside the program, else by name through the search path.
    TFolderPluginLoader();
    // Exactly this library (a path, or a bare name for the search path).
    explicit TFolderPluginLoader(std::filesystem::path library);

    TFolderPluginEntry Entry() override;
    const char* Problem() const override { return problem_.c_str(); }

private:
    std::filesystem::path library_;
    std::once_flag once_;
    TFolderPluginEntry entry_ = nullptr;
    std::string problem_;
};

}  // namespace kiv
