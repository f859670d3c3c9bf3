#include <gtest/gtest.h>

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/ShareMem.h"
#include "platform/linux/StatusBlockView.h"

namespace kiv {
namespace {

bool BlockExists(const TStatusBlockNames& names) {
    const int fd = shm_open(names.mapping.c_str(), O_RDONLY, 0);
    if (fd >= 0) close(fd);
    sem_t* marker = sem_open(names.marker.c_str(), 0);
    if (marker != SEM_FAILED) sem_close(marker);
    EXPECT_EQ(fd >= 0, marker != SEM_FAILED) << "the block and its marker come and go together";
    return fd >= 0;
}

TStatusBlockNames TestNames(const char* test) {
    const std::string suffix = std::string(".") + test + "." + std::to_string(getpid());
    return {"/SuspendFormHndMapping" + suffix, "/MutexName_SuspendFormHnd" + suffix};
}

TEST(ShareMem, CountsItsHoldersAndTheLastOneRemovesTheBlock) {
    const TStatusBlockNames names = TestNames("count");
    ASSERT_FALSE(BlockExists(names));
    auto first = std::make_unique<TShareMem>(names);
    ASSERT_TRUE(first->HasView());
    EXPECT_EQ(first->UserCount(), 1);
    EXPECT_EQ(first->GetStatusWindow(), 0u);  // no status window published yet
    {
        TShareMem second(names);
        EXPECT_EQ(first->UserCount(), 2);
        EXPECT_EQ(second.UserCount(), 2);
        // The status window publishes its id; every holder reads it at once.
        TStatusBlockView statusWindow(names);
        ASSERT_TRUE(statusWindow.Open());
        statusWindow.Publish(4242);
        EXPECT_EQ(second.GetStatusWindow(), 4242u);
        EXPECT_EQ(first->GetStatusWindow(), 4242u);
    }
    EXPECT_EQ(first->UserCount(), 1);
    EXPECT_TRUE(BlockExists(names));
    first.reset();
    EXPECT_FALSE(BlockExists(names));
}

// A client killed while holding the block never counts itself out; the next
// client finds nobody holding the block and starts the count afresh.
TEST(ShareMem, ACountLeftByAKilledClientIsDropped) {
    const TStatusBlockNames names = TestNames("killed");
    const pid_t child = fork();
    if (child == 0) {
        auto* held = new TShareMem(names);  // never released
        _exit(held->UserCount() == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(BlockExists(names));
    {
        TShareMem next(names);
        EXPECT_EQ(next.UserCount(), 1);
        TStatusBlockView statusWindow(names);
        ASSERT_TRUE(statusWindow.Open());
        EXPECT_TRUE(statusWindow.HeldByAClient());
    }
    EXPECT_FALSE(BlockExists(names));
}

}  // namespace
}  // namespace kiv
