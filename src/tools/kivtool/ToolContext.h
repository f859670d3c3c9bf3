#pragma once
// What every kivtool command shares: the program folder, the language
// resources, option parsing, and printing JSON.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "infra/LanguageStyle.h"

namespace kiv::tool {

using Json = nlohmann::ordered_json;

// Thrown for a wrong command line; main prints the usage and exits 2.
struct TUsageError {
    std::string message;
};

// Splits "--name VALUE" options from the positional arguments; unknown options
// are a usage error. An argument "--" ends the options: everything after it is positional.
struct TParsedArgs {
    std::vector<std::string> positional;
    std::optional<std::string> Option(const std::string& name) const;
    std::vector<std::pair<std::string, std::string>> options;
};
TParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& knownOptions);

// --local-ini, or the program folder's "KivClient.ini".
std::filesystem::path LocalIniPath(const TParsedArgs& parsed);

// The language resources of the installed tree, as the client loads them.
const TLanguageStyle& Language();

void PrintJson(const Json& object);

}  // namespace kiv::tool
