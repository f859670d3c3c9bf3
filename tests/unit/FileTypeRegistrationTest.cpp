#include <gtest/gtest.h>

#include "launch/FileTypeRegistration.h"
#include "platform/linux/XdgFileTypes.h"

namespace kiv {
namespace {

std::string Line(const std::string& text, const std::string& key) {
    const auto at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "<none>";
    const auto start = at + key.size() + 2;
    return text.substr(start, text.find('\n', start) - start);
}

TEST(FileTypeRegistration, TheOpenCommandFollowsTheProgramName) {
    struct Case {
        const char* program;
        const char* exec;  // the entry's Exec value, nullptr: no entry
    } cases[] = {
        {"/opt/kivclient/kivclient", "/opt/kivclient/kivclient %u"},
        {"/opt/100%/KivClient", "/opt/100%%/KivClient %u"},
        {"/home/ann/my apps/Conn", R"("/home/ann/my apps/kivclient" Conn %u)"},
        // Reserved characters are escaped inside the quotes, and that backslash once more in the file.
        {"/opt/a$b%c\"d/kivclient", R"("/opt/a\\$b%%c\\"d/kivclient" %u)"},
        {"/opt/kivclient/kivtool", nullptr},
    };
    for (const Case& c : cases) {
        const TFileTypeRegistration r = BuildFileTypeRegistration(c.program, "KIV file");
        EXPECT_NE(r.mimePackage.find("<glob pattern=\"*.kiv\"/>"), std::string::npos) << c.program;
        EXPECT_NE(r.mimePackage.find("<glob pattern=\"*.vyn\"/>"), std::string::npos) << c.program;
        if (c.exec == nullptr) {
            EXPECT_FALSE(r.desktopEntry) << c.program;
            EXPECT_TRUE(r.defaultFor.empty()) << c.program;
            continue;
        }
        ASSERT_TRUE(r.desktopEntry) << c.program;
        EXPECT_EQ(Line(*r.desktopEntry, "Exec"), c.exec);
        EXPECT_EQ(Line(*r.desktopEntry, "MimeType"), "application/x-kiv;application/x-vyn;x-scheme-handler/kiv;");
        EXPECT_EQ(r.defaultFor, (std::vector<std::string>{"application/x-kiv", "application/x-vyn", "x-scheme-handler/kiv"}));
    }
}

TEST(FileTypeRegistration, TheDescriptionIsTheTypesCommentInEitherFile) {
    const TFileTypeRegistration r = BuildFileTypeRegistration("/opt/k/kivclient", "Q&A <files>\nmore");
    EXPECT_EQ(Line(*r.desktopEntry, "Comment"), "Q&A <files>\\nmore");
    EXPECT_NE(r.mimePackage.find("<comment>Q&amp;A &lt;files&gt;\nmore</comment>"), std::string::npos) << r.mimePackage;
    EXPECT_EQ(Line(*r.desktopEntry, "Icon"), "kivclient");
}

// With the defaults already in the user's list nothing is run at start; any
// doubt (another section, another program first, a type missing) runs xdg-mime.
TEST(FileTypeRegistration, TheDefaultsCountAsSetOnlyWhenTheListNamesTheEntryFirst) {
    const std::vector<std::string> types{"application/x-kiv", "x-scheme-handler/kiv"};
    const struct {
        const char* list;
        bool inPlace;
    } cases[] = {
        {"[Default Applications]\napplication/x-kiv=kivclient.desktop\nx-scheme-handler/kiv=kivclient.desktop;\n", true},
        {"[Default Applications]\r\napplication/x-kiv = kivclient.desktop;other.desktop\r\n"
         "x-scheme-handler/kiv=kivclient.desktop\r\n", true},
        {"[Default Applications]\napplication/x-kiv=kivclient.desktop\n", false},
        {"[Default Applications]\napplication/x-kiv=other.desktop;kivclient.desktop\n"
         "x-scheme-handler/kiv=kivclient.desktop\n", false},
        {"[Added Associations]\napplication/x-kiv=kivclient.desktop\nx-scheme-handler/kiv=kivclient.desktop\n", false},
        {"[Default Applications]\napplication/x-kiv=kivclient.desktop\nx-scheme-handler/kiv=kivclient.desktop\n"
         "application/x-kiv=other.desktop\n", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MimeDefaultsInPlace(c.list, types, "kivclient.desktop"), c.inPlace) << c.list;
    EXPECT_TRUE(MimeDefaultsInPlace("", {}, "kivclient.desktop"));
}

}  // namespace
}  // namespace kiv
