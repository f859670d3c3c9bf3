#pragma once
// The machine settings store as an INI file: /etc/qorvex/registry.ini, or the
// file named by $KIV_MACHINE_SETTINGS. An absent file is an empty store.
#include <filesystem>
#include <optional>

#include "infra/IniImage.h"
#include "ports/MachineSettings.h"

namespace kiv {

class TMachineSettingsFile : public IMachineSettings {
public:
    explicit TMachineSettingsFile(const std::filesystem::path& path = DefaultPath());
    static std::filesystem::path DefaultPath();

    std::string ReadString(std::string_view section, std::string_view name) const override;
    bool ValueExists(std::string_view section, std::string_view name) const override;
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const override;

private:
    std::optional<TIniImage> image_;
};

}  // namespace kiv
