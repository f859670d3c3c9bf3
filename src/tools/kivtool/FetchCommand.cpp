// kivtool fetch: asks a portal for a connection file exactly as the client does
// (same address, same identity, same proxy and TLS rules) and prints the answer's
// lines as they came; with --url-only it prints the requested address instead.
#include <algorithm>
#include <iostream>

#include "launch/PortalFetch.h"
#include "platform/linux/LinuxMachineFacts.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

int RunFetch(const TArgs& args) {
    TArgs rest = args;
    const auto flag = std::find(rest.begin(), rest.end(), "--url-only");
    const bool urlOnly = flag != rest.end();
    if (urlOnly) rest.erase(flag);

    const TParsedArgs parsed = ParseArgs(rest, {"local-ini", "ca-file"});
    if (parsed.positional.size() != 1) throw TUsageError{"expects exactly one portal address"};
    const std::string& address = parsed.positional.front();
    const auto localIni = LocalIniPath(parsed);

    TLinuxMachineFacts facts;
    const TClientIdentity identity = ReadClientIdentity(facts, localIni);
    if (urlOnly) {
        std::cout << PortalRequestAddress(address, identity) << std::endl;
        return 0;
    }

    TPortalFetchOptions options = ReadPortalFetchOptions(localIni);
    if (auto caFile = parsed.Option("ca-file")) options.caFile = *caFile;
    std::vector<std::string> lines;
    const bool fetched = GetKivFromServer(address, lines, identity, options);
    // The answer's bytes are printed untouched so they can be saved as a connection file.
    std::ostream& out = fetched ? std::cout : std::cerr;
    for (const std::string& line : lines) out << line << "\n";
    out.flush();
    return fetched ? 0 : 1;
}

const TRegisterCommand kFetch{"fetch", RunFetch,
                              "fetch [--url-only] [--local-ini PATH] [--ca-file PATH] ADDRESS    "
                              "a portal's answer as the client fetches it"};

}  // namespace

}  // namespace kiv::tool
