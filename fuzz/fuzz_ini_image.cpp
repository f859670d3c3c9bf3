// Any bytes as a settings file: the reader must take every line apart without
// reading past it, and the record reader must take whatever it finds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "infra/IniImage.h"
#include "launch/ConnectionFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const kiv::TIniImage image = kiv::TIniImage::FromText(bytes);
    kiv::TKIVFile record;
    // Only a text with none of the connection sections may be refused.
    bool hasSection = false;
    for (const char* section : {"watermark", "Farm", "Session", "Application", "Server"})
        hasSection = hasSection || image.SectionExists(section);
    if (kiv::ReadConnectionFile(&image, record) != (hasSection ? 0 : -1)) __builtin_trap();
    // The capacities hold whatever the file said.
    if (record.ServerHost.size() > 50 || record.SessionID.size() > 11 || record.ShellPath.size() > 250)
        __builtin_trap();
    (void)image.ReadInteger("Session", "Screen_FULL", 0);
    (void)image.KeyCount("Server");
    // The integer rule on the raw bytes too.
    (void)kiv::StrToIntDef(bytes, 7);
    return 0;
}
