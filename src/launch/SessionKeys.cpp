#include "launch/SessionKeys.h"

#include "infra/TextRules.h"
#include "launch/CredentialCodec.h"

namespace kiv {

std::string BuildSessionName(const TKIVFile& r, int kind) {
    const std::string screen = std::to_string(r.ScreenFull);
    if (kind == VirFileSessionNameKind) {
        return Trimmed(LowerAscii(HexToText(r.UserName))) + "|" + Trimmed(LowerAscii(HexToText(r.PassWord))) + "|" +
               screen;
    }
    return Trimmed(r.ServerHost) + "|" + std::to_string(r.ServerPort) + "|" + Trimmed(r.LoginDomain) + "|" +
           Trimmed(r.LoginUser) + "|" + Trimmed(r.LoginPassWord) + "|" + screen;
}

}  // namespace kiv
