#include "tools/demo-server/SamFile.h"

#include <sys/stat.h>
#include <winpr/ntlm.h>
#include <winpr/ssl.h>

#include <cctype>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

std::string SamLine(const std::string& user, const std::string& domain, const std::string& password) {
    // The NT hash is MD4, which OpenSSL 3 keeps in its legacy provider; winpr loads it here (once).
    winpr_InitializeSSL(WINPR_SSL_INIT_DEFAULT);
    std::vector<char> secret(password.begin(), password.end());
    secret.push_back('\0');
    BYTE hash[16] = {};
    if (!NTOWFv1A(secret.data(), static_cast<UINT32>(password.size()), hash)) {
        throw std::runtime_error("cannot hash the password");
    }
    std::string hex = ToHex(hash, sizeof hash);
    for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return user + ":" + domain + "::" + hex + ":::";
}

std::filesystem::path WriteSamFile(const std::filesystem::path& stateDir, const std::string& user,
                                   const std::string& domain, const std::string& password) {
    std::filesystem::create_directories(stateDir);
    const std::filesystem::path path = stateDir / "sam";
    const std::string line = SamLine(user, domain, password) + "\n";
    const mode_t old = umask(077);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    umask(old);
    out << line;
    if (!out) throw std::runtime_error("cannot write " + path.string());
    return path;
}

}  // namespace kiv::demo
