#pragma once
// The keys by which a later launch recognises an instance that already holds its logon.
#include <string>

#include "launch/KivFile.h"

namespace kiv {

enum TSessionNameKind { SessionNameKind = 0, VirFileSessionNameKind = 1 };

// Kind 0: "host|port|domain|user|password|ScreenFull" of the stored logon fields;
// kind 1: "user|password|ScreenFull" of the hex-decoded portal credentials, lower-cased.
std::string BuildSessionName(const TKIVFile& record, int kind);

}  // namespace kiv
