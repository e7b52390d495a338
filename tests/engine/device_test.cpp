// SPDX-License-Identifier: GPL-3.0-or-later
// Sound device listing of the real engine (any machine, with or without cards).
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

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

// Under the sound tests' own server (scripts/lib/sound.sh), which names its
// devices in SOUND_PLAYBACK_DEVICES and SOUND_CAPTURE_DEVICES: the engine offers
// exactly those, in the server's order, and no ALSA placeholder.
TEST_F(DeviceTest, OffersTheSoundServersDevicesInItsOrder) {
    UseSlot(62);
    for (bool playback : {true, false}) {
        const char* listed = std::getenv(playback ? "SOUND_PLAYBACK_DEVICES" : "SOUND_CAPTURE_DEVICES");
        if (!listed) GTEST_SKIP() << "not under the sound tests' server";
        std::vector<std::string> want, got;
        std::stringstream ss(listed);
        for (std::string d; std::getline(ss, d, ';');) want.push_back("PulseAudio Unknown: " + d);
        const int count = playback ? SphSipGetPlayDeviceCount() : SphSipGetRecvDeviceCount();
        for (int i = 1; i <= count; ++i)
            got.push_back(playback ? SphSipGetPlayDeviceName(i) : SphSipGetRecvDeviceName(i));
        EXPECT_EQ(got, want) << (playback ? "playback" : "capture");
    }
}

}  // namespace
