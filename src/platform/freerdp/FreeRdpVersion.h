#pragma once
// The version of the FreeRDP library this process runs with (not the one it was
// built against: the installed library is what a support call needs to know).
#include <string>

namespace kiv {

std::string FreeRdpVersion();

}  // namespace kiv
