#include "support/ClientSessionHarness.h"

#include <cstdlib>
#include <fstream>
#include <regex>

namespace kiv::test {

using namespace std::chrono_literals;

namespace {

#ifdef KIVCLIENT_PATH
constexpr char kClient[] = KIVCLIENT_PATH;
#else
constexpr char kClient[] = "kivclient is not part of this build";
#endif

}  // namespace

ClientSessionHarness::ClientSessionHarness(const std::string& screen) : desktop_(screen) {
    if (!desktop_.Started()) return;
    env_ = {{"DISPLAY", desktop_.Display()},
            {"HOME", (dir_.path() / "home").string()},
            {"XDG_CONFIG_HOME", (dir_.path() / "config").string()},
            {"XDG_STATE_HOME", (dir_.path() / "state").string()},
            {"XDG_RUNTIME_DIR", (dir_.path() / "run").string()},
            {"KIV_MACHINE_SETTINGS", (dir_.path() / "registry.ini").string()},
            {"KIV_TEST_MESSAGE_LOG", (dir_.path() / "boxes.jsonl").string()},
            {"LANG", "en_US.UTF-8"}};
    std::filesystem::create_directories(dir_.path() / "run");
    std::filesystem::permissions(dir_.path() / "run", std::filesystem::perms::owner_all);
    dir_.Write("registry.ini", "[Debug]\nKivClient=all\n");
    desktop_.StartDesktop(env_, dir_.path());
}

void ClientSessionHarness::StartPanel(const std::vector<std::string>& arguments) { desktop_.StartPanel(arguments); }

void ClientSessionHarness::StopPanel(int signal) { desktop_.StopPanel(signal); }

int ClientSessionHarness::StartServer(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"--state-dir", (dir_.path() / "server").string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    server_ = std::make_unique<DemoServer>(all, dir_.path());
    return server_->Port();
}

std::unique_ptr<ChildProcess> ClientSessionHarness::StartClient(const std::vector<std::string>& arguments,
                                                               const std::map<std::string, std::string>& extraEnv) {
    std::vector<std::string> argv{kClient};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::map<std::string, std::string> env = env_;
    for (const auto& [key, value] : extraEnv) env[key] = value;
    return std::make_unique<ChildProcess>(argv, env, (dir_.path() / "client.log").string());
}

std::unique_ptr<ChildProcess> ClientSessionHarness::Run(const std::vector<std::string>& argv) {
    return std::make_unique<ChildProcess>(argv, env_);
}

std::string ClientSessionHarness::Output(const std::vector<std::string>& argv) {
    auto run = Run(argv);
    std::string out;
    while (auto line = run->ReadLine(5s)) out += *line + "\n";
    run->Wait(5s);
    return out;
}

uint32_t ClientSessionHarness::PixelAt(int x, int y) {
    const std::string out = Output({"/usr/bin/import", "-window", "root", "-crop",
                                    "1x1+" + std::to_string(x) + "+" + std::to_string(y), "txt:-"});
    std::smatch m;
    if (!std::regex_search(out, m, std::regex("srgb\\(([0-9]+),([0-9]+),([0-9]+)\\)"))) return 0xFFFFFFFF;
    return static_cast<uint32_t>((std::stoul(m[1]) << 16) | (std::stoul(m[2]) << 8) | std::stoul(m[3]));
}

std::vector<nlohmann::json> ClientSessionHarness::TranscriptEvents(const std::string& event) const {
    return server_ ? server_->Events(event) : std::vector<nlohmann::json>{};
}

std::vector<std::string> ClientSessionHarness::ReceivedOnCsml() const {
    std::vector<std::string> hex;
    for (const auto& j : TranscriptEvents("recv"))
        if (j.value("channel", "") == "CSML") hex.push_back(j.value("hex", ""));
    return hex;
}

bool ClientSessionHarness::ReceivedStarting(const std::string& hexPrefix, int count) const {
    int seen = 0;
    for (const auto& h : ReceivedOnCsml())
        if (h.rfind(hexPrefix, 0) == 0) ++seen;
    return seen >= count;
}

std::vector<nlohmann::json> ClientSessionHarness::MessageBoxesIn(const std::filesystem::path& folder) {
    return Recorded(folder, false);
}

std::vector<nlohmann::json> ClientSessionHarness::Recorded(const std::filesystem::path& folder, bool certificates) {
    std::vector<nlohmann::json> lines;
    std::ifstream in(folder / "boxes.jsonl");
    for (std::string line; std::getline(in, line);) {
        nlohmann::json one = nlohmann::json::parse(line);
        if (one.contains("certificate") == certificates)
            lines.push_back(certificates ? one["certificate"] : one);
    }
    return lines;
}

std::map<std::string, std::string> ClientSessionHarness::EnvIn(const std::filesystem::path& folder) const {
    std::map<std::string, std::string> env = env_;
    for (const auto& [key, sub] : std::map<std::string, std::string>{{"HOME", "home"},
                                                                     {"XDG_CONFIG_HOME", "config"},
                                                                     {"XDG_STATE_HOME", "state"},
                                                                     {"XDG_RUNTIME_DIR", "run"},
                                                                     {"KIV_MACHINE_SETTINGS", "registry.ini"},
                                                                     {"KIV_TEST_MESSAGE_LOG", "boxes.jsonl"}})
        env[key] = (folder / sub).string();
    std::filesystem::create_directories(folder / "run");
    std::filesystem::permissions(folder / "run", std::filesystem::perms::owner_all);
    std::ofstream(folder / "registry.ini") << "[Debug]\nKivClient=all\n";
    return env;
}

std::filesystem::path ClientSessionHarness::ClientCopy(const std::string& localIni) {
    namespace fs = std::filesystem;
    const char* other = std::getenv("KIV_E2E_CLIENT");
    const fs::path client = other && *other ? fs::path(other) : fs::path(kClient);
    const fs::path built = client.parent_path();
    const fs::path program = dir_.path() / "program";
    fs::create_directories(program);
    fs::copy_file(client, program / "kivclient", fs::copy_options::overwrite_existing);
    fs::copy_file(built / "Resource.ini", program / "Resource.ini", fs::copy_options::overwrite_existing);
    // The program's companion module, as the installed tree has it beside the program.
    fs::copy_file(built / "libkiv-opencc.so", program / "libkiv-opencc.so", fs::copy_options::overwrite_existing);
    for (const char* folder : {"Language", "Images"})
        fs::copy(built / folder, program / folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    dir_.Write("program/KivClient.ini", localIni);
    return program / "kivclient";
}

}  // namespace kiv::test
