#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qf {
namespace {

TEST(EventLoopTest, RunsPostedAndSentTasksOnItsThreadAndItsTimers) {
    EventLoop loop;
    std::thread::id loopThread;
    std::atomic<int> ticks{0}, killerTicks{0};
    std::thread other([&] {
        EXPECT_TRUE(loop.Send([&] { loopThread = std::this_thread::get_id(); }));
        int sentInline = 0;
        loop.Send([&] { loop.Send([&] { ++sentInline; }); });  // nested: runs at once
        EXPECT_EQ(sentInline, 1);
        loop.Post([&] {
            loop.SetTimer(1, 5, [&] { ++ticks; });
            loop.SetTimer(2, 5, [&] {
                if (++killerTicks == 3) loop.KillTimer(1), loop.KillTimer(2);
            });
        });
        while (killerTicks < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        loop.Quit();
    });
    loop.Run();
    other.join();
    EXPECT_EQ(loopThread, std::this_thread::get_id());
    EXPECT_EQ(killerTicks, 3);
    EXPECT_LE(ticks, 3);
    EXPECT_GE(ticks, 2);
    EXPECT_FALSE(loop.Send([] {}));  // after Quit nothing runs
}

}  // namespace
}  // namespace qf
