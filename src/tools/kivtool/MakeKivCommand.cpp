// kivtool make-kiv: a connection file for a server of one's own, with the logon
// fields in the form the client reads (so nobody encodes them by hand).
#include <fstream>
#include <iostream>

#include "infra/CodePage.h"
#include "infra/IniImage.h"
#include "launch/CredentialCodec.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

namespace {

constexpr int kDefaultRdpPort = 3389;

struct TServerAddress {
    std::string host;
    int port = kDefaultRdpPort;
};

// HOST or HOST:PORT. The file splits the address at its first ":", so an IPv6
// address cannot be written; the host must fit the record's 50 bytes.
TServerAddress ParseServer(const std::string& text) {
    TServerAddress address;
    const auto colon = text.find(':');
    address.host = text.substr(0, colon);
    if (colon != std::string::npos) {
        address.port = DecimalToIntDef(text.substr(colon + 1), -1);
        if (address.port < 1 || address.port > 65535) throw TUsageError{"--server: the port must be 1 to 65535"};
    }
    if (address.host.empty() || address.host.find_first_of(" \t:[]") != std::string::npos)
        throw TUsageError{"--server: HOST[:PORT] with a host name or an IPv4 address"};
    if (address.host.size() > 50) throw TUsageError{"--server: the host name is longer than 50 characters"};
    return address;
}

// A value in the system code page, refused when the record would cut it.
std::string Field(const std::string& utf8, std::size_t capacity, const char* option) {
    std::string bytes = Utf8ToSystem(utf8);
    if (bytes.size() > capacity) throw TUsageError{std::string(option) + " is too long for a connection file"};
    return bytes;
}

std::string Logon(const std::string& utf8, bool stored, const char* option) {
    const std::string bytes = Utf8ToSystem(utf8);
    return Field(stored && !bytes.empty() ? EncodeCredential(bytes) : utf8, 250, option);
}

}  // namespace

int RunMakeKiv(const TArgs& args) {
    const TParsedArgs parsed =
        ParseArgs(args, {"server", "user", "password", "domain", "app-id", "app-name", "mode", "width", "height",
                         "server-shell", "out", "local-ini"});
    if (!parsed.positional.empty()) throw TUsageError{"takes options only"};
    const auto server = parsed.Option("server");
    if (!server) throw TUsageError{"--server is required"};
    const TServerAddress address = ParseServer(*server);
    const std::string mode = parsed.Option("mode").value_or("desktop");
    if (mode != "seamless" && mode != "desktop") throw TUsageError{"--mode is seamless or desktop"};
    const bool seamless = mode == "seamless";
    const std::string serverShell = parsed.Option("server-shell").value_or("1");
    if (serverShell != "0" && serverShell != "1") throw TUsageError{"--server-shell is 0 or 1"};
    const int width = DecimalToIntDef(parsed.Option("width").value_or("1024"), -1);
    const int height = DecimalToIntDef(parsed.Option("height").value_or("768"), -1);
    if (width < 1 || height < 1) throw TUsageError{"--width and --height are numbers of pixels"};

    // The logon fields go in the form this installation's client reads them.
    const TIniImage local = TIniImage::FromFile(LocalIniPath(parsed)).value_or(TIniImage::FromText(""));
    const bool stored = local.ReadBool("Local Property", "KivFileisEn", true);
    const std::string user = parsed.Option("user").value_or("");

    std::string text;
    auto line = [&text](const std::string& l) { text += l + "\r\n"; };
    line("; A connection file written by kivtool make-kiv");
    line("[Farm]");
    line("UserName=" + TextToHex(Field(user, 127, "--user")));
    line("SessionID=SID00000000");
    line("[Session]");
    line(std::string("Screen_FULL=") + (seamless ? "3" : "0"));
    line("Width=" + std::to_string(width));
    line("Height=" + std::to_string(height));
    line("Color=4");
    line("ShareSession=0");
    line("[Application]");
    line("App_id=" + Field(parsed.Option("app-id").value_or(""), 255, "--app-id"));
    line("App_name=" + Field(parsed.Option("app-name").value_or(address.host), 255, "--app-name"));
    line(std::string("App_type_mode=") + (seamless ? "2" : "1"));
    line("[Server]");
    line("Server_Address=" + address.host + ":" + std::to_string(address.port));
    line("Server_Name=" + address.host);
    line("Login_User=" + Logon(user, stored, "--user"));
    line("Login_PassWord=" + Logon(parsed.Option("password").value_or(""), stored, "--password"));
    line("Login_domain=" + Logon(parsed.Option("domain").value_or(""), stored, "--domain"));
    if (serverShell == "0") line("ServerShell=0");

    const auto out = parsed.Option("out");
    if (!out) {
        std::cout << text << std::flush;
        return 0;
    }
    std::ofstream file(*out, std::ios::binary | std::ios::trunc);
    if (!file || !file.write(text.data(), static_cast<std::streamsize>(text.size())) || !file.flush())
        throw std::runtime_error("cannot write " + *out);
    PrintJson({{"File", *out}, {"KivFileisEn", stored}});
    return 0;
}

namespace {
const TRegisterCommand kMakeKiv{
    "make-kiv", RunMakeKiv,
    "make-kiv --server HOST[:PORT] [--user U --password P --domain D] [--app-id ID --app-name NAME]\n"
    "           [--mode seamless|desktop] [--width W --height H] [--server-shell 0|1] [--out FILE] [--local-ini PATH]\n"
    "           a connection file with the logon in the form the client reads (port 3389 unless given)"};
}  // namespace

}  // namespace kiv::tool
