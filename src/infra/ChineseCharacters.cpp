#include "infra/ChineseCharacters.h"

#include <opencc/Config.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Exception.hpp>

#include <exception>

#include "infra/DebugLog.h"

namespace kiv {

namespace {

// Debian's place for OpenCC's data; OpenCC also looks in its own data folder.
constexpr std::string_view kOpenCcDataFolder = "/usr/share/opencc";

std::string DictionaryJson(const std::string& file) {
    return R"({"type":"ocd2","file":")" + file + R"("})";
}

// Segmentation by the first dictionary gives single characters for a character
// dictionary; each dictionary is one step of the chain.
std::string ConfigJson(const std::vector<std::string>& dictionaries) {
    std::string chain;
    for (const std::string& file : dictionaries) {
        if (!chain.empty()) chain += ',';
        chain += R"({"dict":)" + DictionaryJson(file) + "}";
    }
    const std::string first = dictionaries.empty() ? std::string() : dictionaries.front();
    return R"({"name":"characters","segmentation":{"type":"mmseg","dict":)" + DictionaryJson(first) +
           R"(},"conversion_chain":[)" + chain + "]}";
}

}  // namespace

TChineseCharacterMap::TChineseCharacterMap(const std::filesystem::path& folder,
                                           const std::vector<std::string>& dictionaries) {
    if (dictionaries.empty()) return;
    try {
        std::string directory = folder.string();
        if (!directory.empty() && directory.back() != '/') directory += '/';
        opencc::Config config;
        converter_ = config.NewFromString(ConfigJson(dictionaries), directory);
    } catch (const opencc::Exception& error) {  // OpenCC's own exceptions stand apart from std::exception
        Unusable(error.what());
    } catch (const std::exception& error) {
        Unusable(error.what());
    }
}

TChineseCharacterMap::~TChineseCharacterMap() = default;

void TChineseCharacterMap::Unusable(const char* why) {
    converter_.reset();
    if (DebugSwitches[dmMain])
        WriteLog(std::string("[TChineseCharacterMap]the character dictionaries cannot be loaded: ") + why);
}

std::string TChineseCharacterMap::Map(std::string_view utf8) const {
    if (!converter_ || utf8.empty()) return std::string(utf8);
    try {
        return converter_->Convert(std::string(utf8));
    } catch (const opencc::Exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TChineseCharacterMap.Map]Exception:") + error.what());
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TChineseCharacterMap.Map]Exception:") + error.what());
    }
    return std::string(utf8);
}

std::string MapChineseCharacters(std::string_view utf8, TChineseForm to) {
    // Built once, on first use; OpenCC's converters are safe to share for reading.
    static const TChineseCharacterMap toTraditional(std::string(kOpenCcDataFolder),
                                                    {"STCharacters.ocd2", "TWVariants.ocd2"});
    static const TChineseCharacterMap toSimplified(std::string(kOpenCcDataFolder),
                                                   {"TWVariantsRev.ocd2", "TSCharacters.ocd2"});
    return (to == TChineseForm::Traditional ? toTraditional : toSimplified).Map(utf8);
}

}  // namespace kiv
