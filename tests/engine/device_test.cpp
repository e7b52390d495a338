// SPDX-License-Identifier: GPL-3.0-or-later
// Sound device listing of the real engine (any machine, with or without cards).
#include <string>

#include "zent_softphone.h"
#include "engine_fixture.h"

namespace {

class DeviceTest : public EngineTest {};

TEST_F(DeviceTest, NamesAreIndexedFromOneAndOutOfRangeGivesEmpty) {
    UseSlot(60);
    for (bool playback : {true, false}) {
        SCOPED_TRACE(playback ? "playback" : "capture");
        const int count = playback ? SphSipGetPlayDeviceCount() : SphSipGetRecvDeviceCount();
        ASSERT_GE(count, 0);
        auto name = [&](int i) {
            const char* n = playback ? SphSipGetPlayDeviceName(i) : SphSipGetRecvDeviceName(i);
            EXPECT_NE(n, nullptr);
            return std::string(n ? n : "");
        };
        for (int i = 1; i <= count; ++i) EXPECT_FALSE(name(i).empty()) << i;
        EXPECT_EQ(name(0), "");
        EXPECT_EQ(name(-3), "");
        EXPECT_EQ(name(count + 1), "");
    }
}

TEST_F(DeviceTest, ANameStaysReadableUntilTheNextQuery) {
    UseSlot(61);
    if (SphSipGetPlayDeviceCount() < 1) GTEST_SKIP() << "no playback device here";
    const char* first = SphSipGetPlayDeviceName(1);
    const std::string copy = first;
    SphSipGetPlayDeviceCount();
    SphSipGetRecvDeviceCount();
    EXPECT_EQ(std::string(first), copy);
}

}  // namespace
