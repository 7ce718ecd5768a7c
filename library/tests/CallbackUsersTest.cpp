// The counting that lets a replacement of the log callback wait for exactly
// the threads that may still use what it replaced. The threads are held at
// each step by hand, at the moments a scheduler could hold them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CallbackUsers.h"
#include "support/Timing.h"

using karvel::CallbackUsers;
using karvel::test::becomes;

// A thread counted just before a replacement began, that has not yet read the
// callback: the replacement waits for it, and the thread must count again.
TEST(CallbackUsers, AThreadCountedBeforeAReplacementBeganCountsAgainAndIsWaitedFor) {
    CallbackUsers users;
    const unsigned early = users.count();
    std::atomic<bool> replaced{false};
    std::thread replacement([&] {
        users.waitForOlder();
        replaced = true;
    });
    ASSERT_TRUE(becomes([&] { return !users.confirm(early); }));
    EXPECT_FALSE(replaced.load()) << "returned while a counted thread could still read the old callback";
    users.leave(early);
    replacement.join();
    EXPECT_TRUE(replaced.load());
    const unsigned again = users.count();
    EXPECT_TRUE(users.confirm(again));
    EXPECT_NE(again, early);
    users.leave(again);
}

// Threads that entered after the replacement began do not keep it waiting:
// only those of the generation it ended do.
TEST(CallbackUsers, AReplacementWaitsForTheOldGenerationOnly) {
    CallbackUsers users;
    const unsigned old = users.enter();
    std::atomic<bool> replaced{false};
    std::thread replacement([&] {
        users.waitForOlder();
        replaced = true;
    });
    ASSERT_TRUE(becomes([&] { return !users.confirm(old); }));
    const unsigned fresh = users.enter(); // reads the new callback, and stays
    EXPECT_FALSE(replaced.load());
    users.leave(old);
    replacement.join();
    EXPECT_TRUE(replaced.load());
    users.leave(fresh);
}

TEST(CallbackUsers, WaitingForAllButTheCallersOwnCountsEndsWhenTheOthersLeaveOrTheTimeRunsOut) {
    CallbackUsers users;
    const unsigned own = users.enter();
    EXPECT_TRUE(users.waitForAllBut(1, std::chrono::milliseconds(0)));
    unsigned other = 0;
    std::thread([&] { other = users.enter(); }).join(); // counted, as a thread inside that does not return
    EXPECT_FALSE(users.waitForAllBut(1, std::chrono::milliseconds(50)));
    std::thread leaving([&] { users.leave(other); });
    EXPECT_TRUE(users.waitForAllBut(1, std::chrono::seconds(30)));
    leaving.join();
    users.leave(own);
}
