#pragma once
// The machine-wide settings store that administrators write (debug switches,
// address overrides, device-redirection add-ins): one section per key path.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv {

class IMachineSettings {
public:
    virtual ~IMachineSettings() = default;
    // The value, or the empty text when the section or the value is absent.
    virtual std::string ReadString(std::string_view section, std::string_view name) const = 0;
    virtual bool ValueExists(std::string_view section, std::string_view name) const = 0;
    // The section's names (lower-cased) and values in the order they were written.
    virtual std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const = 0;
};

}  // namespace kiv
