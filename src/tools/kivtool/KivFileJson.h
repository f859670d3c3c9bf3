#pragma once
#include "launch/KivFile.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

// Every field of the record by its name, in declaration order; texts converted
// from the system code page to UTF-8, numbers as numbers, flags as true/false.
Json KivFileToJson(const TKIVFile& record);
Json ProxySetToJson(const TProxySet& proxy);

}  // namespace kiv::tool
