#include "infra/CodeConversion.h"

#include "infra/ChineseCharacters.h"
#include "infra/CodePage.h"

namespace kiv {

namespace {

constexpr uint32_t kGbk = 936;
constexpr uint32_t kBig5 = 950;

std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::string WideToCodePage(std::u16string_view text, uint32_t codePage) {
    text = text.substr(0, text.find(u'\0'));
    return Utf16ToCodePage(text, codePage);
}

std::string WideToGbk(std::u16string_view text) { return WideToCodePage(text, kGbk); }

uint32_t SourceCodePageOf(int32_t mode) {
    return mode == kBig5ToGbkSimplified || mode == kBig5ToGbk ? kBig5 : kGbk;
}

std::string ConvertText(std::string_view text, int32_t mode) {
    text = UpToZero(text);
    switch (mode) {
        case kGbkToBig5Traditional:
            return Utf8ToCodePage(MapChineseCharacters(CodePageToUtf8(text, kGbk), TChineseForm::Traditional), kBig5);
        case kBig5ToGbkSimplified:
            return Utf8ToCodePage(MapChineseCharacters(CodePageToUtf8(text, kBig5), TChineseForm::Simplified), kGbk);
        case kBig5ToGbk:
            return Utf8ToCodePage(CodePageToUtf8(text, kBig5), kGbk);
        default:
            return std::string(text);
    }
}

}  // namespace kiv
