#pragma once
// Simplified and traditional Chinese characters, one character at a time, from
// OpenCC's character dictionaries (no phrases: a character keeps its place and
// its count, as the code-page conversion expects). Where the dictionaries cannot
// be loaded the text passes unchanged, and the "Main" log says why once.
// OpenCC itself is loaded with the first map made (a module of ours beside the
// program, `infra/opencc/`), not at the program's start.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

enum class TChineseForm { Traditional, Simplified };

class TChineseCharacterMap {
public:
    // dictionaries: OpenCC dictionary files (".ocd2") applied in order, looked
    // up in folder (then in OpenCC's own data folder).
    TChineseCharacterMap(const std::filesystem::path& folder, const std::vector<std::string>& dictionaries);
    ~TChineseCharacterMap();
    TChineseCharacterMap(const TChineseCharacterMap&) = delete;
    TChineseCharacterMap& operator=(const TChineseCharacterMap&) = delete;

    bool Usable() const { return converter_ != nullptr; }
    // UTF-8 in, UTF-8 out; unchanged when the map is not usable.
    std::string Map(std::string_view utf8) const;

private:
    void Unusable(const char* why);

    void* converter_ = nullptr;  // the module's
};

// The process's maps for the code-page conversion: simplified to traditional in
// the forms BIG5 holds (Taiwan variants), and traditional to simplified.
std::string MapChineseCharacters(std::string_view utf8, TChineseForm to);

}  // namespace kiv
