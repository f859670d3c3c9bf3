// kivtool link, make-link, encode-credential, encode-shellpath: the encodings a
// portal writes and the client reads.
#include <iostream>

#include "infra/CodePage.h"
#include "launch/CredentialCodec.h"
#include "launch/KivLink.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

std::string OneText(const TArgs& args, const char* what) {
    if (args.size() != 1) throw TUsageError{std::string("expects exactly one ") + what};
    return args.front();
}

}  // namespace

int RunLink(const TArgs& args) {
    std::string result;
    const bool ok = ParseLink(OneText(args, "link"), result);
    std::cout << SystemToUtf8(result) << std::endl;
    return ok ? 0 : 1;
}

int RunMakeLink(const TArgs& args) {
    std::cout << MakeLink(Utf8ToSystem(OneText(args, "address"))) << std::endl;
    return 0;
}

int RunEncodeCredential(const TArgs& args) {
    std::cout << EncodeCredential(Utf8ToSystem(OneText(args, "text"))) << std::endl;
    return 0;
}

int RunEncodeShellPath(const TArgs& args) {
    std::cout << EncodeShellPath(Utf8ToSystem(OneText(args, "text"))) << std::endl;
    return 0;
}

namespace {
const TRegisterCommand kLink{"link", RunLink, "link TEXT    the portal address a KIV:// link decodes to"};
const TRegisterCommand kMakeLink{"make-link", RunMakeLink, "make-link ADDRESS    a KIV:// link that decodes to ADDRESS"};
const TRegisterCommand kEncodeCredential{"encode-credential", RunEncodeCredential, "encode-credential TEXT    the stored form of a logon field"};
const TRegisterCommand kEncodeShellPath{"encode-shellpath", RunEncodeShellPath, "encode-shellpath TEXT    the stored form of KivShellPath"};
}  // namespace

}  // namespace kiv::tool
