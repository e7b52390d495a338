// SPDX-License-Identifier: GPL-3.0-or-later
// Sound device listing of the real engine (any machine, with or without cards).
#include <cstdlib>
#include <filesystem>
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

namespace {

// The engine keeps its stack's settings in a folder of its own and writes
// no database there: every database cost the start its file and syncs, and a
// message store on disk grew all day.
TEST_F(DeviceTest, TheEngineWritesNoDatabaseFiles) {
    char dir[] = "/tmp/engine_files.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", dir, 1);
    UseSlot(62);
    SphSipGetPlayDeviceCount();  // the engine is up
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) files.push_back(e.path().filename());
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    SphSipDestory();
    std::filesystem::remove_all(dir);
    EXPECT_FALSE(files.empty()) << "the engine's folder is where the test looks";
    for (const std::string& f : files) EXPECT_EQ(f.find(".db"), std::string::npos) << f;
}

}  // namespace
