// The main thread of lumiva-batch: steps handed over by other threads run on it, in turn, and a
// worker never waits for a loop that has ended.
#include "run/StepLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(StepLoop, StepsRunOnTheLoopsThreadInTurnAndFailuresPassBack)
{
    TStepLoop loop;
    const std::thread::id main = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<int> elsewhere{0};
    std::string caught;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            EXPECT_TRUE(loop.Run([&, i] {
                elsewhere += std::this_thread::get_id() != main;
                order.push_back(i);
            }));
        try {
            loop.Run([] { throw std::runtime_error("from the step"); });
        } catch (const std::runtime_error& E) {
            caught = E.what();
        }
        loop.Run([&loop] { loop.Quit(); });
    });
    loop.Exec();
    worker.join();
    EXPECT_EQ(elsewhere.load(), 0);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(caught, "from the step");
    // On the loop's own thread a step runs at once.
    bool ran = false;
    EXPECT_TRUE(loop.Run([&ran] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(StepLoop, AStepAfterTheEndIsRefusedNotAwaited)
{
    TStepLoop loop;
    loop.Quit();
    loop.Exec(); // returns at once
    bool ran = false;
    bool delivered = true;
    std::thread late([&] { delivered = loop.Run([&ran] { ran = true; }); });
    late.join();
    EXPECT_FALSE(delivered);
    EXPECT_FALSE(ran);
}

} // namespace
