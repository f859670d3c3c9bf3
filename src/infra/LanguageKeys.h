#pragma once
// Every key the program looks up in the language files ([TEXT] keys, [font]
// keys, [IMAGE] keys). The diagnostics tool checks the shipped files against it.
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

struct TLanguageKey {
    std::string_view section;  // "TEXT", "font", "FONT" or "IMAGE"
    std::string_view key;
    // The directives a formatted text takes, in order ("%s", "%d%s", ...); empty
    // for a text that is shown as it stands (it then must hold no directive).
    std::string_view arguments = {};
};

const std::vector<TLanguageKey>& LanguageKeys();

// The directives of a language text in order ("%s", "%d", "%u", "%x"; "%%" is
// a percent sign and not a directive), as one text: "Session %d: %s" -> "%d%s".
std::string DirectivesOf(std::string_view text);

}  // namespace kiv
