#include "launch/FarmList.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

class FarmListTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.path().string()};

    fs::path UserFolder() const { return dir.path() / "VYNClient6.0"; }
    void WriteFarms(const std::string& list) const {
        dir.Write("VYNClient6.0/Farms.ini", "[Farms]\r\nFarmList=" + list + "\r\n");
    }
    void WriteFarm(const std::string& name, const std::string& host, const std::string& port,
                   const std::string& proxy = "") const {
        dir.Write("VYNClient6.0/" + name + "/Farm.ini",
                  "[Farm]\r\nFarmHost=" + host + "\r\nFarmPort=" + port + "\r\n[ProxySet]\r\n" + proxy);
    }
};

TEST_F(FarmListTest, UserFolderIsCreatedPrivateAndEndsWithSlash) {
    const std::string folder = GetUserDataFolder();
    EXPECT_EQ(folder, UserFolder().string() + "/");
    struct stat info {};
    ASSERT_EQ(::stat(UserFolder().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u);
    // An existing folder is simply returned.
    EXPECT_EQ(GetUserDataFolder(), folder);
}

TEST_F(FarmListTest, UserFolderFallsBackToHomeConfigAndCreatesParents) {
    for (const char* unusable : {"", "relative/config"}) {
        ScopedEnv xdg("XDG_CONFIG_HOME", std::string(unusable));
        ScopedEnv home("HOME", (dir.path() / "home").string());
        EXPECT_EQ(GetUserDataFolder(), (dir.path() / "home/.config/VYNClient6.0/").string()) << unusable;
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv home("HOME", (dir.path() / "other").string());
    EXPECT_EQ(GetUserDataFolder(), (dir.path() / "other/.config/VYNClient6.0/").string());
    EXPECT_TRUE(fs::is_directory(dir.path() / "other/.config/VYNClient6.0"));
}

TEST_F(FarmListTest, UserFolderEmptyWhenItCannotBeCreated) {
    dir.Write("plainfile", "x");
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir.path() / "plainfile").string());
    EXPECT_EQ(GetUserDataFolder(), "");
    ScopedEnv noXdg("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_EQ(GetUserDataFolder(), "");
}

TEST_F(FarmListTest, HttpsHostWithPortAndPathMatchesCaseInsensitively) {
    WriteFarms("other,main");
    WriteFarm("other", "portal", "443");
    WriteFarm("main", "PORTAL", "8443");
    EXPECT_EQ(FindFarm("https://portal:8443/Portal/index.html"), "main");
    EXPECT_EQ(FindFarm("HTTPS://Portal:8443"), "main");
    EXPECT_EQ(FindFarm("https://portal/x"), "other");  // default port 443
    EXPECT_EQ(FindFarm("https://portal:9443/"), "");
    EXPECT_EQ(FindFarm("https://portal.example:8443/"), "");
}

TEST_F(FarmListTest, HttpDefaultPortComparesAsText) {
    WriteFarms("padded plain");
    WriteFarm("padded", "portal", "080");
    WriteFarm("plain", "portal", "80");
    EXPECT_EQ(FindFarm("http://portal/path"), "plain");
    EXPECT_EQ(FindFarm("http://portal:080/"), "padded");
    EXPECT_EQ(FindFarm("http://portal:443/"), "");  // https default does not apply to http
}

TEST_F(FarmListTest, OnlyHttpSchemesAndWellFormedAddressesFindAFarm) {
    WriteFarms("a");
    WriteFarm("a", "portal", "80");
    EXPECT_EQ(FindFarm("http://portal"), "a");
    for (const char* address : {"ftp://portal/", "ftp://portal:80/", "portal", "portal:80", "", "//portal",
                                "httpx://portal/", "http:///path", "http://:80/"}) {
        EXPECT_EQ(FindFarm(address), "") << address;
        TProxySet proxy;
        proxy.ProxyType = 2;
        ReadFarmProxy(proxy, address);
        EXPECT_EQ(proxy.ProxyType, 0) << address;
    }
}

TEST_F(FarmListTest, FirstFarmOfTheListWins) {
    WriteFarms("a,b");
    WriteFarm("a", "portal", "443", "ProxyType=2\r\n");
    WriteFarm("b", "portal", "443", "ProxyType=4\r\n");
    EXPECT_EQ(FindFarm("https://portal/"), "a");
    TProxySet proxy;
    ReadFarmProxy(proxy, "https://portal/");
    EXPECT_EQ(proxy.ProxyType, 2);
}

TEST_F(FarmListTest, BlankSeparatesNamesUnlessQuoted) {
    WriteFarm("Sales", "sales", "443");
    WriteFarm("Dept", "dept", "443");
    WriteFarm("Sales Dept", "both", "443");

    WriteFarms("Sales Dept");
    EXPECT_EQ(FindFarm("https://sales/"), "Sales");
    EXPECT_EQ(FindFarm("https://dept/"), "Dept");
    EXPECT_EQ(FindFarm("https://both/"), "");

    WriteFarms("\"Sales Dept\"");
    EXPECT_EQ(FindFarm("https://both/"), "Sales Dept");
    EXPECT_EQ(FindFarm("https://sales/"), "");
}

TEST_F(FarmListTest, MissingFilesGiveNoFarm) {
    EXPECT_EQ(FindFarm("https://portal/"), "");  // no Farms.ini

    WriteFarms("");
    EXPECT_EQ(FindFarm("https://portal/"), "");  // empty list

    WriteFarms("gone,keyless,present");
    dir.Write("VYNClient6.0/keyless/Farm.ini", "[Other]\r\nx=1\r\n");
    WriteFarm("present", "portal", "443");
    EXPECT_EQ(FindFarm("https://portal/"), "present");  // a missing Farm.ini is passed over
}

TEST_F(FarmListTest, ReadFarmProxyFillsTheRecordAndCutsLongTexts) {
    WriteFarms("a");
    const std::string longServer(300, 's');
    const std::string longUser(60, 'u');
    const std::string longPwd = std::string(50, 'p') + "TAIL";
    WriteFarm("a", "portal", "8080",
              "ProxyType=3\r\nProxyServer=" + longServer + "\r\nProxyPort=1080\r\nProxyUser=" + longUser +
                  "\r\nProxyPwd=" + longPwd + "\r\n");
    TProxySet proxy;
    ReadFarmProxy(proxy, "http://portal:8080/");
    EXPECT_EQ(proxy.ProxyType, 3);
    EXPECT_EQ(proxy.ProxyServer.str(), std::string(255, 's'));
    EXPECT_EQ(proxy.ProxyPort, 1080);
    EXPECT_EQ(proxy.ProxyUser.str(), std::string(50, 'u'));
    EXPECT_EQ(proxy.ProxyPwd.str(), std::string(50, 'p'));
}

TEST_F(FarmListTest, ReadFarmProxyClearsAPreFilledRecord) {
    const auto prefilled = [] {
        TProxySet proxy;
        proxy.ProxyType = 4;
        proxy.ProxyServer = "old.proxy";
        proxy.ProxyPort = 3128;
        proxy.ProxyUser = "olduser";
        proxy.ProxyPwd = "oldpwd";
        return proxy;
    };
    const auto expectCleared = [](const TProxySet& proxy) {
        EXPECT_EQ(proxy.ProxyType, 0);
        EXPECT_TRUE(proxy.ProxyServer.empty());
        EXPECT_EQ(proxy.ProxyPort, 0);
        EXPECT_TRUE(proxy.ProxyUser.empty());
        EXPECT_TRUE(proxy.ProxyPwd.empty());
    };
    TProxySet proxy = prefilled();
    ReadFarmProxy(proxy, "https://nowhere/");  // no farm at all
    expectCleared(proxy);

    // A found farm without the [ProxySet] keys leaves the defaults, not the old values.
    WriteFarms("a");
    dir.Write("VYNClient6.0/a/Farm.ini", "[Farm]\r\nFarmHost=portal\r\nFarmPort=443\r\n");
    proxy = prefilled();
    ReadFarmProxy(proxy, "https://portal/");
    expectCleared(proxy);
}

TEST_F(FarmListTest, FarmNamesThatLeaveTheUserFolderAreSkipped) {
    // A farm file planted outside the per-user folder must never be read.
    dir.Write("x/Farm.ini", "[Farm]\r\nFarmHost=portal\r\nFarmPort=443\r\n[ProxySet]\r\nProxyType=2\r\n");
    dir.Write("Farm.ini", "[Farm]\r\nFarmHost=portal\r\nFarmPort=443\r\n");
    dir.Write("VYNClient6.0/Farm.ini", "[Farm]\r\nFarmHost=portal\r\nFarmPort=443\r\n");
    WriteFarms("../x .. . \"\" \"VYNClient6.0/../x\"");
    EXPECT_EQ(FindFarm("https://portal/"), "");
    TProxySet proxy;
    ReadFarmProxy(proxy, "https://portal/");
    EXPECT_EQ(proxy.ProxyType, 0);

    // Later safe names are still tried.
    WriteFarm("safe", "portal", "443");
    WriteFarms("../x,safe");
    EXPECT_EQ(FindFarm("https://portal/"), "safe");
}

// Restores the working directory the test changed.
class ScopedCurrentPath {
public:
    explicit ScopedCurrentPath(const fs::path& path) : previous_(fs::current_path()) { fs::current_path(path); }
    ~ScopedCurrentPath() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

TEST_F(FarmListTest, WithoutUserFolderFilesAreRelativeToTheCurrentDirectory) {
    dir.Write("blocker", "x");
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir.path() / "blocker").string());
    dir.Write("cwd/Farms.ini", "[Farms]\r\nFarmList=local\r\n");
    dir.Write("cwd/local/Farm.ini", "[Farm]\r\nFarmHost=portal\r\nFarmPort=443\r\n");
    ScopedCurrentPath cwd(dir.path() / "cwd");
    EXPECT_EQ(FindFarm("https://portal/"), "local");
}

}  // namespace
}  // namespace kiv
