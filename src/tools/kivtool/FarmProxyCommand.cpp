// kivtool farm-proxy: which farm serves a portal address and the proxy it uses.
#include "infra/CodePage.h"
#include "launch/FarmList.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/KivFileJson.h"

namespace kiv::tool {

int RunFarmProxy(const TArgs& args) {
    if (args.size() != 1) throw TUsageError{"expects exactly one portal address"};
    TProxySet proxy;
    ReadFarmProxy(proxy, args.front());
    PrintJson({{"Farm", SystemToUtf8(FindFarm(args.front()))}, {"ProxySet", ProxySetToJson(proxy)}});
    return 0;
}

namespace {
const TRegisterCommand kFarmProxy{"farm-proxy", RunFarmProxy, "farm-proxy ADDRESS    the farm serving a portal address and its proxy"};
}  // namespace

}  // namespace kiv::tool
