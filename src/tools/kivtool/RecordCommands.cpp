// kivtool read, session-keys and cmdline: the settings record as the client builds it.
#include "infra/CodePage.h"
#include "infra/TextFormat.h"
#include "launch/CommandLine.h"
#include "launch/ConnectionFileReader.h"
#include "launch/SessionKeys.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/KivFileJson.h"

namespace kiv::tool {

namespace {

struct TReadOutcome {
    TKIVFile record;
    int32_t result = -1;
    int32_t logonTimeout = kDefaultLogonTimeout;
};

// Reading and the local overrides, as the start-up step does them.
TReadOutcome ReadAndApply(const std::string& file, const std::filesystem::path& localIni) {
    TReadOutcome out;
    const std::optional<TIniImage> image = TIniImage::FromFile(file);
    out.result = ReadConnectionFile(image ? &*image : nullptr, out.record);
    if (out.result == 0) out.logonTimeout = ApplyLocalProperties(out.record, localIni);
    return out;
}

std::string OneFile(const TParsedArgs& parsed) {
    if (parsed.positional.size() != 1) throw TUsageError{"expects exactly one connection file"};
    return parsed.positional.front();
}

// The fields whose values differ between two record reports.
Json ChangedFields(const Json& before, const Json& after) {
    Json changed = Json::object();
    for (const auto& [name, value] : after.items())
        if (before[name] != value) changed[name] = value;
    return changed;
}

}  // namespace

int RunRead(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"local-ini"});
    const TReadOutcome read = ReadAndApply(OneFile(parsed), LocalIniPath(parsed));
    Json j;
    j["Result"] = read.result;
    j["LogonTimeout"] = read.logonTimeout;
    j.update(KivFileToJson(read.record));
    PrintJson(j);
    return read.result == 0 ? 0 : 1;
}

int RunSessionKeys(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"local-ini"});
    const TReadOutcome read = ReadAndApply(OneFile(parsed), LocalIniPath(parsed));
    if (read.result != 0) {
        PrintJson({{"Result", read.result}, {"Error", Language().GetText("ErrReadKIV")}});
        return 1;
    }
    PrintJson({{"SessionName", SystemToUtf8(BuildSessionName(read.record, SessionNameKind))},
               {"VirFileSessionName", SystemToUtf8(BuildSessionName(read.record, VirFileSessionNameKind))}});
    return 0;
}

int RunCmdline(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"local-ini"});
    TCommandLine line;
    const TStartupTarget target = InterpretCommandLine(parsed.positional, line);

    Json j;
    auto report = [&](const Json& overrides) {
        j["CommandText"] = line.CommandText;  // the arguments are already UTF-8
        j["OpenFilePath"] = line.OpenFilePath;
        j["VirtualFileMode"] = line.VirtualFileMode;
        j["VirtualFileArg"] = line.VirtualFileArg;
        if (overrides.is_object()) j["Overrides"] = overrides;
        PrintJson(j);
    };
    auto fail = [&](const std::string& key, const std::string& text) {
        j["ErrorKey"] = key;
        j["Error"] = text;
        report(nullptr);
        return 1;
    };

    switch (target.kind) {
        case TStartupTarget::Kind::Error:
            j["Kind"] = nullptr;
            // The parser's own text when there is no key; else the key's text with its argument.
            return fail(target.errorKey, target.errorKey.empty()
                                             ? target.errorText
                                             : Format(Language().GetText(target.errorKey),
                                                      {std::string_view(target.errorText)}));
        case TStartupTarget::Kind::Link:
            j["Kind"] = "link";
            j["Address"] = SystemToUtf8(target.address);
            break;
        case TStartupTarget::Kind::ConnectionFile:
            j["Kind"] = "file";
            break;
    }

    // A link's settings come from the portal, which is not asked here: its
    // overrides are shown against an empty record.
    TReadOutcome read;
    read.result = 0;
    if (target.kind == TStartupTarget::Kind::ConnectionFile) {
        read = ReadAndApply(target.connectionFile, LocalIniPath(parsed));
        if (read.result != 0) return fail("ErrReadKIV", Language().GetText("ErrReadKIV"));
    }
    const Json before = KivFileToJson(read.record);
    ApplyScreenFullSize(read.record, kUnplacedWindowWidth, kUnplacedWindowHeight);
    ApplyCommandLineOverrides(read.record, line);
    report(ChangedFields(before, KivFileToJson(read.record)));
    return 0;
}

namespace {
const TRegisterCommand kRead{"read", RunRead, "read FILE [--local-ini PATH]    the settings record a connection file gives"};
const TRegisterCommand kCmdline{"cmdline", RunCmdline, "cmdline [--local-ini PATH] -- ARG...    how the client reads its command line"};
const TRegisterCommand kSessionKeys{"session-keys", RunSessionKeys, "session-keys FILE [--local-ini PATH]    the keys of a shared session"};
}  // namespace

}  // namespace kiv::tool
