#include "launch/VdebugIni.h"

#include "infra/IniImage.h"

namespace kiv {

int32_t ReadVdebugSetting(const std::filesystem::path& programFolder, std::string_view key, int32_t defaultValue) {
    const auto ini = TIniImage::FromFile(programFolder / "vdebug.ini");
    return ini ? ini->ReadInteger("settings", key, defaultValue) : defaultValue;
}

}  // namespace kiv
