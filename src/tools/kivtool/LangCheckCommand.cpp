// kivtool lang-check: every key the program looks up that a shipped language
// file lacks (or leaves empty). Exit 1 when any is missing.
#include <set>

#include "infra/LanguageKeys.h"
#include "platform/linux/ProgramFolder.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

std::filesystem::path LocalPath(const std::filesystem::path& folder, std::string relative) {
    for (char& c : relative)
        if (c == '\\') c = '/';
    return folder / relative;
}

}  // namespace

int RunLangCheck(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"resources"});
    const std::filesystem::path folder = parsed.Option("resources").value_or(ProgramFolder().string());
    const std::optional<TIniImage> index = TIniImage::FromFile(folder / "Resource.ini");
    if (!index) {
        PrintJson({{"Error", "no Resource.ini in " + folder.string()}});
        return 1;
    }
    // Every language section the index names, once.
    std::set<std::string> sections;
    for (const auto& [id, section] : index->Entries("LanguageStyle")) sections.insert(section);
    if (const std::string fallback = index->ReadString("DefaultLanguage", "LG", ""); !fallback.empty())
        sections.insert(fallback);

    Json files = Json::array();
    std::size_t missingCount = 0;
    for (const std::string& section : sections) {
        const std::string iniPath = index->ReadString(section, "IniPath", "");
        const std::filesystem::path path = LocalPath(folder, iniPath);
        const std::optional<TIniImage> language = TIniImage::FromFile(path);
        Json missing = Json::array();
        for (const TLanguageKey& key : LanguageKeys())
            if (!language || language->ReadString(key.section, key.key, "").empty())
                missing.push_back(std::string(key.section) + "/" + std::string(key.key));
        missingCount += missing.size();
        files.push_back({{"section", section}, {"path", path.string()}, {"readable", language.has_value()},
                         {"missing", missing}});
    }
    PrintJson({{"keys", LanguageKeys().size()}, {"files", files}, {"missing", missingCount}});
    return missingCount == 0 && !sections.empty() ? 0 : 1;
}

namespace {
const TRegisterCommand kLangCheck{"lang-check", RunLangCheck, "lang-check [--resources DIR]    keys the shipped language files lack"};
}  // namespace

}  // namespace kiv::tool
