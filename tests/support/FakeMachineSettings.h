#pragma once
// An in-memory machine settings store for tests.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "infra/TextRules.h"
#include "ports/MachineSettings.h"

namespace kiv::test {

class FakeMachineSettings : public IMachineSettings {
public:
    void Set(const std::string& section, const std::string& name, const std::string& value) {
        auto& entries = sections_[LowerAscii(section)];
        for (auto& entry : entries)
            if (entry.first == LowerAscii(name)) {
                entry.second = value;
                return;
            }
        entries.emplace_back(LowerAscii(name), value);
    }
    std::string ReadString(std::string_view section, std::string_view name) const override {
        const auto* value = Find(section, name);
        return value ? *value : std::string();
    }
    bool ValueExists(std::string_view section, std::string_view name) const override {
        return Find(section, name) != nullptr;
    }
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const override {
        const auto s = sections_.find(LowerAscii(section));
        return s == sections_.end() ? std::vector<std::pair<std::string, std::string>>{} : s->second;
    }

private:
    const std::string* Find(std::string_view section, std::string_view name) const {
        const auto s = sections_.find(LowerAscii(section));
        if (s == sections_.end()) return nullptr;
        for (const auto& entry : s->second)
            if (entry.first == LowerAscii(name)) return &entry.second;
        return nullptr;
    }
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> sections_;
};

}  // namespace kiv::test
