// kivtool connect-plan: everything the connect sequence would hand to the
// remote-desktop control for a connection file, in order. It connects nowhere;
// the machine identifier in it is this machine's.
#include "infra/CodePage.h"
#include "infra/IniImage.h"
#include "launch/ConnectionFileReader.h"
#include "launch/CredentialCodec.h"
#include "platform/linux/LinuxMachineFacts.h"
#include "platform/linux/MachineSettingsFile.h"
#include "session/FingerPrint.h"
#include "session/RdpClient.h"
#include "session/RecordingControl.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

// The session window's side, for a plan: nothing is shown and nothing ends.
class TPlanOwner : public IRdpClientOwner, public IMessagePrompt {
public:
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    void OnChannelReceivedData(const std::string&, const TBytes&) override {}
    void CloseSessionWindow() override {}
    void EndApplication() override {}
    bool RunRepairTool(const std::string&) override { return false; }
    TPromptAnswer AskOkCancel(const std::string&, const std::string& text) override {
        error = text;
        return TPromptAnswer::Cancel;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::string error;
};

Json CallValue(const TRecordedCall& call) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) return nullptr;
            else if constexpr (std::is_same_v<T, std::string>) return v;
            else if constexpr (std::is_same_v<T, int64_t>) return v;
            else if constexpr (std::is_same_v<T, TBytes>) return TextToHex(std::string(v.begin(), v.end()));
            else return Json::array({v.first, v.second});
        },
        call.value);
}

int RunConnectPlan(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"local-ini"});
    if (parsed.positional.size() != 1) throw TUsageError{"expects exactly one connection file"};
    const auto localIni = LocalIniPath(parsed);
    const std::optional<TIniImage> image = TIniImage::FromFile(parsed.positional.front());
    TKIVFile record;
    if (ReadConnectionFile(image ? &*image : nullptr, record) != 0) {
        PrintJson({{"Result", -1}, {"Error", Language().GetText("ErrReadKIV")}});
        return 1;
    }
    ApplyLocalProperties(record, localIni);
    const TIniImage local = TIniImage::FromFile(localIni).value_or(TIniImage::FromText(""));
    TRdpClientSettings settings;
    settings.KivFileisEn = local.ReadBool("Local Property", "KivFileisEn", true);
    settings.EnableNLA = local.ReadBool("Local Property", "EnableNLA", false);
    settings.ClientCharset = Language().ReadValue("FONT", "charset", "2052");

    TRecordingControl control;
    TPlanOwner owner;
    TMachineSettingsFile machine;
    TLinuxMachineFacts facts;
    TRdpClient client(control, owner, std::make_unique<TRecordingPortMapper>(control.MutableCalls()), machine, owner,
                      [&] { return GetFingerPrint(facts, localIni); }, settings);
    client.ConnectServer(record);

    Json calls = Json::array();
    for (const TRecordedCall& call : control.Calls()) calls.push_back(Json::array({call.name, CallValue(call)}));
    Json j{{"calls", calls}, {"ClientInfo", SystemToUtf8(client.ClientInfo())}, {"UsbInitParam", SystemToUtf8(client.UsbInitParam())}};
    if (!owner.error.empty()) j["Error"] = owner.error;
    PrintJson(j);
    return owner.error.empty() ? 0 : 1;
}

const TRegisterCommand kConnectPlan{"connect-plan", RunConnectPlan,
                                    "connect-plan FILE [--local-ini PATH]    what the control is told, in order"};

}  // namespace

}  // namespace kiv::tool
