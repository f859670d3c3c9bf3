// The list of window records: lookups, in-place changes, and what deleting a
// record takes with it.
#include <gtest/gtest.h>

#include "channels/ClientSMLManger.h"
#include "unit/MsgSmlFakes.h"

namespace kiv {
namespace {

TSmlWindowRec Rec(int64_t server, TTaskbarHandle client = 0) {
    TSmlWindowRec r;
    r.ServerHandle = server;
    r.ClientHandle = client;
    r.Region = test::RegionBlock({{1, 2, 3, 4}});
    r.RegionSize = static_cast<uint32_t>(r.Region.size());
    return r;
}

TEST(ClientSMLWindowList, LookupsScanFromTheFront) {
    TClientSMLWindowList list;
    EXPECT_EQ(list.Add(Rec(10, 0x100)), 0);
    EXPECT_EQ(list.Add(Rec(20)), 1);
    EXPECT_EQ(list.Add(Rec(10, 0x300)), 2);  // a second record of the same server window
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.IndexOfServer(10), 0);
    EXPECT_EQ(list.IndexOfServer(20), 1);
    EXPECT_EQ(list.IndexOfServer(30), -1);
    EXPECT_EQ(list.IndexOfClient(0x300), 2);
    EXPECT_EQ(list.IndexOfClient(0x999), -1);
    EXPECT_EQ(list.IndexOfClient(0), 1);  // the first record without a taskbar window
}

TEST(ClientSMLWindowList, RecordsAreCopiedInAndChangedInPlace) {
    TClientSMLWindowList list;
    TSmlWindowRec original = Rec(10);
    list.Add(original);
    original.Left = 99;  // the list holds its own copy
    EXPECT_EQ(list.GetItem(0)->Left, 0);

    TSmlWindowRec* held = list.GetItem(0);
    held->Left = 5;
    list.Add(Rec(20));  // growing the list moves no record
    EXPECT_EQ(held, list.GetItem(0));
    EXPECT_EQ(list.GetItem(0)->Left, 5);

    TSmlWindowRec replacement = Rec(11, 0x42);
    replacement.Top = 7;
    EXPECT_TRUE(list.SetItem(0, replacement));
    EXPECT_EQ(held->ServerHandle, 11);
    EXPECT_EQ(held->Top, 7);
    EXPECT_FALSE(list.SetItem(2, replacement));
    EXPECT_FALSE(list.SetItem(-1, replacement));
    EXPECT_EQ(list.GetItem(2), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
    EXPECT_EQ(static_cast<const TClientSMLWindowList&>(list).GetItem(1)->ServerHandle, 20);
}

TEST(ClientSMLWindowList, DeleteTakesTheTaskbarWindowWithIt) {
    test::FakeTaskbar taskbar;
    const TTaskbarHandle a = taskbar.CreateTaskbarWindow("TKiv10", nullptr, u"a");
    TClientSMLWindowList list(&taskbar);
    list.Add(Rec(10, a));
    list.Add(Rec(20));
    EXPECT_FALSE(list.Delete(list.Count()));
    EXPECT_FALSE(list.Delete(-1));
    EXPECT_TRUE(list.Delete(1));  // no taskbar window: nothing destroyed
    EXPECT_TRUE(taskbar.destroyed.empty());
    ASSERT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.Delete(0));  // the last record when there is one
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(taskbar.destroyed, std::vector<TTaskbarHandle>{a});
    EXPECT_FALSE(list.Delete(0));
}

TEST(ClientSMLWindowList, ClearGoesFromTheLastDownAndSoDoesDestruction) {
    test::FakeTaskbar taskbar;
    {
        TClientSMLWindowList list(&taskbar);
        list.Add(Rec(1, 0x11));
        list.Add(Rec(2, 0x22));
        list.Add(Rec(3, 0x33));
        list.Clear();
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(taskbar.destroyed, (std::vector<TTaskbarHandle>{0x33, 0x22, 0x11}));
        list.Add(Rec(4, 0x44));
    }
    EXPECT_EQ(taskbar.destroyed.back(), 0x44u);
}

}  // namespace
}  // namespace kiv
