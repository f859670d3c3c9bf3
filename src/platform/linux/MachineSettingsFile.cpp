#include "platform/linux/MachineSettingsFile.h"

#include <cstdlib>

namespace kiv {

TMachineSettingsFile::TMachineSettingsFile(const std::filesystem::path& path) : image_(TIniImage::FromFile(path)) {}

std::filesystem::path TMachineSettingsFile::DefaultPath() {
    const char* overridden = std::getenv("KIV_MACHINE_SETTINGS");
    if (overridden != nullptr && *overridden != '\0') return overridden;
    return "/etc/qorvex/registry.ini";
}

std::string TMachineSettingsFile::ReadString(std::string_view section, std::string_view name) const {
    return image_ ? image_->ReadString(section, name, "") : std::string();
}

bool TMachineSettingsFile::ValueExists(std::string_view section, std::string_view name) const {
    return image_ && image_->ValueExists(section, name);
}

std::vector<std::pair<std::string, std::string>> TMachineSettingsFile::Entries(std::string_view section) const {
    return image_ ? image_->Entries(section) : std::vector<std::pair<std::string, std::string>>{};
}

}  // namespace kiv
