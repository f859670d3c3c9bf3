#include "infra/ChineseCharacters.h"

#include <dlfcn.h>

#include <system_error>

#include "infra/DebugLog.h"
#include "infra/opencc/ChineseCharactersModule.h"

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

// The module's entry points, loaded once for the process; none when it cannot be loaded.
struct TOpenCcModule {
    decltype(&kiv_opencc_open) open = nullptr;
    decltype(&kiv_opencc_convert) convert = nullptr;
    decltype(&kiv_opencc_close) close = nullptr;
    std::string why;
};

const TOpenCcModule& OpenCcModule() {
    static const TOpenCcModule module = [] {
        TOpenCcModule m;
        std::error_code ec;
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
        const std::filesystem::path path = program.parent_path() / kOpenCcModuleName;
        void* handle = ec ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            m.why = ec ? "the program's folder is unknown: " + ec.message() : std::string(dlerror());
            return m;
        }
        m.open = reinterpret_cast<decltype(&kiv_opencc_open)>(dlsym(handle, "kiv_opencc_open"));
        m.convert = reinterpret_cast<decltype(&kiv_opencc_convert)>(dlsym(handle, "kiv_opencc_convert"));
        m.close = reinterpret_cast<decltype(&kiv_opencc_close)>(dlsym(handle, "kiv_opencc_close"));
        if (!m.open || !m.convert || !m.close) {
            m.open = nullptr;
            m.why = path.string() + " lacks its entry points";
        }
        return m;  // stays loaded: the process's maps use it until the end
    }();
    return module;
}

}  // namespace

TChineseCharacterMap::TChineseCharacterMap(const std::filesystem::path& folder,
                                           const std::vector<std::string>& dictionaries) {
    if (dictionaries.empty()) return;
    const TOpenCcModule& module = OpenCcModule();
    if (!module.open) {
        Unusable(module.why.c_str());
        return;
    }
    std::string directory = folder.string();
    if (!directory.empty() && directory.back() != '/') directory += '/';
    std::string why;
    converter_ = module.open(directory.c_str(), ConfigJson(dictionaries).c_str(), &why);
    if (!converter_) Unusable(why.c_str());
}

TChineseCharacterMap::~TChineseCharacterMap() {
    if (converter_) OpenCcModule().close(converter_);
}

void TChineseCharacterMap::Unusable(const char* why) {
    converter_ = nullptr;
    if (DebugSwitches[dmMain])
        WriteLog(std::string("[TChineseCharacterMap]the character dictionaries cannot be loaded: ") + why);
}

std::string TChineseCharacterMap::Map(std::string_view utf8) const {
    if (!converter_ || utf8.empty()) return std::string(utf8);
    const std::string in(utf8);
    std::string out, why;
    if (OpenCcModule().convert(converter_, &in, &out, &why)) return out;
    if (DebugSwitches[dmMain]) WriteLog("[TChineseCharacterMap.Map]Exception:" + why);
    return in;
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
