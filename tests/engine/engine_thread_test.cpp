// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's thread: what wakes it, and that nothing makes it spin.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "engine_thread.h"

namespace {

using namespace std::chrono_literals;

// Periods long enough that only a wake-up, not the period, can explain a
// tick seen within the tests' bounds.
constexpr zent::EngineThread::Periods kSlow{10s, 10s, 0ms};

class EngineThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair_), 0); }
    void TearDown() override {
        thread_.Stop();
        close(pair_[0]);
        close(pair_[1]);
    }
    void Start(zent::EngineThread::Periods periods) {
        ASSERT_TRUE(thread_.Start([] { return true; },
                                  [this] {
                                      ++ticks_;
                                      return false;
                                  },
                                  [] {}, periods));
    }
    // Polls (bounded) until the tick count passes `count`.
    bool TicksExceed(int count, std::chrono::milliseconds limit = 3s) {
        for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(2ms))
            if (ticks_.load() > count) return true;
        return false;
    }

    zent::EngineThread thread_;
    std::atomic<int> ticks_{0};
    int pair_[2] = {-1, -1};  // [0] watched by the thread, [1] written by the test
};

TEST_F(EngineThreadTest, RequestsAndPacketsRunTheStackAtOnceNotAtTheNextPeriod) {
    Start(kSlow);
    ASSERT_TRUE(TicksExceed(0)) << "the first tick comes right after the start";
    const int started = ticks_.load();

    std::atomic<bool> ran{false};
    thread_.Post([&ran] { ran = true; });
    EXPECT_TRUE(TicksExceed(started)) << "a posted request is followed by a tick";
    EXPECT_TRUE(ran.load());

    thread_.Post([this] { thread_.Watch({pair_[0]}); });
    ASSERT_TRUE(TicksExceed(started + 1));
    const int watched = ticks_.load();
    ASSERT_EQ(write(pair_[1], "x", 1), 1);
    EXPECT_TRUE(TicksExceed(watched)) << "a packet on the watched socket wakes the stack";
}

TEST_F(EngineThreadTest, ASocketThatStaysReadableCannotMakeItSpin) {
    Start({20ms, 20ms, 0ms});
    thread_.Post([this] { thread_.Watch({pair_[0]}); });
    ASSERT_EQ(write(pair_[1], "x", 1), 1);  // never read: readable for good
    ASSERT_TRUE(TicksExceed(1));
    const int before = ticks_.load();
    std::this_thread::sleep_for(1s);
    // Fifty periods of 16 wake-ups and one tick each at most; a spinning
    // thread would tick hundreds of thousands of times.
    EXPECT_LT(ticks_.load() - before, 50 * 17 + 100);
}

TEST_F(EngineThreadTest, CallAnswersFromTheThreadAndFallsBackWhenStopped) {
    Start(kSlow);
    EXPECT_EQ(thread_.Call<int>([] { return 7; }, -1), 7);
    thread_.Stop();
    EXPECT_EQ(thread_.Call<int>([] { return 7; }, -1), -1);
}

}  // namespace
