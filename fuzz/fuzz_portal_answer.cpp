// Any bytes as a portal's answer: the lines the fetch returned, decided on and
// carried out. The first byte says whether the fetch succeeded; the rest is cut
// into lines at "\n". The decision may start at most the updater beside the
// client, and a carried-on answer leaves a record of bounded texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launch/PortalAnswer.h"

namespace {

struct Starter : kiv::IProcessStarter {
    bool Start(const std::string& program, const std::vector<std::string>& args) override {
        if (program.find("ClientDownload") == std::string::npos || args.size() > 1) __builtin_trap();
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool fetched = (data[0] & 1) != 0;
    std::vector<std::string> lines(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }
    const kiv::TTextLookup lookup = [](std::string_view key) { return "[" + std::string(key) + "] %s"; };
    Starter starter;
    kiv::TKIVFile record;
    const kiv::TPortalOutcome outcome =
        kiv::HandlePortalAnswer(fetched, lines, record, starter, "/opt/kivclient", lookup);
    if (outcome.carryOn && outcome.showMessage) __builtin_trap();
    volatile size_t seen = record.ServerAddress.str().size() + record.AppID.str().size() + outcome.text.size();
    (void)seen;
    return 0;
}
