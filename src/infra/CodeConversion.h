#pragma once
// The conversion of typed text between the Chinese code pages, chosen by the
// local setting CodeConversion: the client's text may be GBK (936) while the
// server reads BIG5 (950), or the other way round. Texts are zero-terminated:
// everything from the first zero on is ignored. What the target code page
// cannot hold becomes '?'.
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

enum TCodeConversionMode : int32_t {
    kConversionNone = 0,
    kGbkToBig5Traditional = 1,  // GBK simplified -> BIG5 traditional
    kBig5ToGbkSimplified = 2,   // BIG5 -> GBK, traditional characters simplified
    kBig5ToGbk = 3,             // BIG5 -> GBK, characters as they are
};

// UTF-16 up to its first zero unit, in code page 936 whatever the system's is.
std::string WideToGbk(std::u16string_view text);
// The same for any code page.
std::string WideToCodePage(std::u16string_view text, uint32_t codePage);

// The conversion of the mode; any mode outside 1 to 3 returns the text as it is.
std::string ConvertText(std::string_view text, int32_t mode);

// The code page a mode expects its text in: BIG5 for modes 2 and 3, GBK for the rest.
uint32_t SourceCodePageOf(int32_t mode);

}  // namespace kiv
