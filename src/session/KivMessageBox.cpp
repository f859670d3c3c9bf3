#include "session/KivMessageBox.h"

#include "infra/CodePage.h"
#include "launch/CredentialCodec.h"

namespace kiv {

namespace {

constexpr std::size_t kDomainLineLimit = 57;

// Record texts are shown as stored, converted from the code page for the screen.
std::string Shown(std::string_view bytes) { return SystemToUtf8(bytes); }

// The stored password is reversible without a key and these boxes end up in
// screenshots: the line stays (support sees whether one is stored), the value is
// a mask of fixed length, which tells nothing of the password's length either.
std::string Masked(std::string_view stored) { return stored.empty() ? std::string() : std::string(8, '*'); }

}  // namespace

std::vector<std::string> BuildMessageDetails(const std::string& text, const TKIVFile* r, const TClientFacts& client) {
    std::vector<std::string> lines{text, ""};
    if (r != nullptr) {
        lines.push_back("[Application]");
        lines.push_back("AppID=" + Shown(r->AppID));
        lines.push_back("AppName=" + Shown(r->AppName));
        lines.push_back("[Server]");
        lines.push_back("IP=" + Shown(r->ServerAddress));
        lines.push_back("UserName=" + Shown(r->LoginUser));
        lines.push_back("PassWord=" + Masked(r->LoginPassWord.str()));
        // The line is cut in the record's own bytes, then shown.
        lines.push_back(Shown(("Domain=" + r->LoginDomain.str()).substr(0, kDomainLineLimit)));
        lines.push_back("[Client]");
        lines.push_back("User=" + Shown(HexToText(r->UserName)));
    } else {
        lines.push_back("[Client]");
    }
    lines.push_back("Computer=" + client.computerName);
    lines.push_back("IP=" + client.localIPs);
    lines.push_back("FP=" + client.fingerPrint);
    return lines;
}

TMessageBoxResult ShowKivMessageBox(IMessageBoxView& view, const std::string& text, const std::string& caption,
                                    const TKIVFile* record, int iconIndex, const TClientFacts& client) {
    TMessageBoxContent content;
    content.caption = caption.empty() ? "Kiv Client" : caption;
    content.text = text;
    content.iconIndex = iconIndex;
    content.detailLines = BuildMessageDetails(text, record, client);
    return view.Show(content);
}

}  // namespace kiv
