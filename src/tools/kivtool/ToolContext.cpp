#include "tools/kivtool/ToolContext.h"

#include <algorithm>
#include <iostream>
#include <memory>

#include "infra/SystemLocale.h"
#include "platform/linux/ProgramFolder.h"

namespace kiv::tool {

std::optional<std::string> TParsedArgs::Option(const std::string& name) const {
    for (const auto& [key, value] : options)
        if (key == name) return value;
    return std::nullopt;
}

TParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& knownOptions) {
    TParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            parsed.positional.insert(parsed.positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            const std::string name = arg.substr(2);
            if (std::find(knownOptions.begin(), knownOptions.end(), name) == knownOptions.end())
                throw TUsageError{"unknown option " + arg};
            if (i + 1 >= args.size()) throw TUsageError{"option " + arg + " needs a value"};
            parsed.options.emplace_back(name, args[++i]);
            continue;
        }
        parsed.positional.push_back(arg);
    }
    return parsed;
}

std::filesystem::path LocalIniPath(const TParsedArgs& parsed) {
    if (auto path = parsed.Option("local-ini")) return *path;
    return ProgramFolder() / "KivClient.ini";
}

const TLanguageStyle& Language() {
    static const std::unique_ptr<TLanguageStyle> style = [] {
        const auto folder = ProgramFolder();
        return std::make_unique<TLanguageStyle>(folder, folder / "Resource.ini", SystemDefaultLanguageId());
    }();
    return *style;
}

void PrintJson(const Json& object) {
    // Texts are converted to UTF-8 before they get here; a stray byte is still
    // printed as U+FFFD rather than aborting the report.
    std::cout << object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
}

}  // namespace kiv::tool
