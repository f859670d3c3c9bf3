#pragma once
// The NTLM account file FreeRDP's NLA server checks credentials against:
// one line "USER:DOMAIN::NTHASH:::" (the format winpr-hash -f sam prints).
#include <filesystem>
#include <string>

namespace kiv::demo {

std::string SamLine(const std::string& user, const std::string& domain, const std::string& password);

// Writes the line to DIR/sam (owner-only) and returns the path. Throws std::runtime_error.
std::filesystem::path WriteSamFile(const std::filesystem::path& stateDir, const std::string& user,
                                   const std::string& domain, const std::string& password);

}  // namespace kiv::demo
