// kivtool fingerprint: the identifier this machine sends to portals and the server
// shell, with the parts each variant is made of, the computer name and the addresses.
#include "infra/CodePage.h"
#include "platform/linux/LinuxMachineFacts.h"
#include "session/FingerPrint.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

int RunFingerprint(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"local-ini"});
    if (!parsed.positional.empty()) throw TUsageError{"takes no arguments"};
    const auto localIni = LocalIniPath(parsed);
    TLinuxMachineFacts facts;
    const TVariantAParts parts = ReadVariantAParts(facts);
    const std::string volume = GetVolumeSerialText(facts);
    PrintJson({
        {"FingerPrint", GetFingerPrint(facts, localIni)},
        {"VariantA",
         {{"Processor", parts.processor},
          {"Disk", SystemToUtf8(parts.disk)},
          {"Network", parts.network},
          {"Identifier", VariantAIdentifier(parts)}}},
        {"VariantB", {{"VolumeSerial", volume}, {"Identifier", VariantBIdentifier(volume)}}},
        {"Use", FingerPrintUse(localIni)},
        {"ComputerName", SystemToUtf8(GetComputerNameText(facts))},
        {"LocalIPs", GetLocalIPs(facts)},
    });
    return 0;
}

const TRegisterCommand kFingerprint{"fingerprint", RunFingerprint,
                                    "fingerprint [--local-ini PATH]    this machine's identifier"};

}  // namespace

}  // namespace kiv::tool
