#include "platform/linux/UsbLibraryLoader.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/TempDir.h"

namespace kiv {
namespace {

// The stand-in library built with the tests; until the build names it, the
// FAKE_USB_LIBRARY_PATH environment variable may point at a hand-built copy.
std::string FakeLibraryPath() {
#ifdef FAKE_USB_LIBRARY_PATH
    return FAKE_USB_LIBRARY_PATH;
#else
    const char* path = std::getenv("FAKE_USB_LIBRARY_PATH");
    return path ? path : "";
#endif
}

class UsbLibraryLoaderFake : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = FakeLibraryPath();
        if (library_.empty()) GTEST_SKIP() << "the fake USB library is not built (FAKE_USB_LIBRARY_PATH)";
    }
    std::string Log() const { return test::ReadFileBytes(dir_.path() / "calls.log"); }

    test::TempDir dir_;
    std::string library_;
    test::ScopedEnv log_{"KIV_FAKE_USB_LOG", (dir_.path() / "calls.log").string()};
};

TEST_F(UsbLibraryLoaderFake, ListsDevicesInTwoCalls) {
    const std::string devices = "0000120001=1,Stick\n0000130002=0,Mouse\n";
    test::ScopedEnv list("KIV_FAKE_USB_DEVICES", devices);
    TUsbLibraryLoader usb(library_);
    ASSERT_TRUE(usb.Loaded());
    EXPECT_EQ(usb.GetUsbList(), devices);
    // First the size, then the list into a buffer of that size.
    EXPECT_EQ(Log(), "GetUsbList buffer=null size=0\nGetUsbList buffer size=" + std::to_string(devices.size() + 1) + "\n");
}

TEST_F(UsbLibraryLoaderFake, NoDevicesIsAnEmptyList) {
    test::ScopedEnv list("KIV_FAKE_USB_DEVICES", std::nullopt);
    TUsbLibraryLoader usb(library_);
    EXPECT_EQ(usb.GetUsbList(), std::string());
    EXPECT_EQ(Log(), "GetUsbList buffer=null size=0\n");  // no second call
}

TEST_F(UsbLibraryLoaderFake, PassesKeysAndTheInitParameter) {
    TUsbLibraryLoader usb(library_);
    EXPECT_TRUE(usb.RedirectUsb(int64_t{-1} * 65536 + 2, 0));
    EXPECT_TRUE(usb.RedirectUsb(0x123456LL * 65536 + 7, 0));
    EXPECT_TRUE(usb.SendClientInitParam("user=ann&finger=F1&finger2=&sid=SID00000000&appid=A"));
    EXPECT_EQ(Log(),
              "RedirectUsb key=-65534 value=0\n"
              "RedirectUsb key=78187462663 value=0\n"
              "SendClientInitParam user=ann&finger=F1&finger2=&sid=SID00000000&appid=A\n");
}

TEST_F(UsbLibraryLoaderFake, AnUnbelievableListSizeGivesNoDevices) {
    test::ScopedEnv list("KIV_FAKE_USB_DEVICES", std::string(2 * 1024 * 1024, 'x'));
    TUsbLibraryLoader usb(library_);
    EXPECT_EQ(usb.GetUsbList(), std::string());
    EXPECT_EQ(Log(), "GetUsbList buffer=null size=0\n");  // never asked to fill 2 MiB
}

TEST(UsbLibraryLoader, MissingLibrarySkipsEveryCall) {
    test::TempDir dir;
    TUsbLibraryLoader usb(dir.path() / "librusbrdr.so");
    EXPECT_FALSE(usb.Loaded());
    EXPECT_EQ(usb.GetUsbList(), std::nullopt);
    EXPECT_FALSE(usb.RedirectUsb(1, 0));
    EXPECT_FALSE(usb.SendClientInitParam("x"));
}

TEST(UsbLibraryLoader, LibraryWithoutTheExportsSkipsEveryCall) {
    // The maths library is always there and exports none of the three.
    TUsbLibraryLoader usb("libm.so.6");
    EXPECT_TRUE(usb.Loaded());
    EXPECT_EQ(usb.GetUsbList(), std::nullopt);
    EXPECT_FALSE(usb.RedirectUsb(1, 0));
    EXPECT_FALSE(usb.SendClientInitParam("x"));
}

}  // namespace
}  // namespace kiv
