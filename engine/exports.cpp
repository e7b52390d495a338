// SPDX-License-Identifier: GPL-3.0-or-later
// The library's C entry points. Each hands its work to the engine thread; the
// engine (thread and SIP core) is started by the first operation that needs it
// and ended by SphSipDestory.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zent_softphone.h"
#include "cp936.h"
#include "engine_thread.h"
#include "softphone.h"

namespace zent {
namespace {

// The stack's timers run every 20 ms while it has a call, a registration or
// a transaction going (and for two seconds after anything arrives or is
// asked), once a second when all is quiet (registration refreshes and
// keep-alives are due in minutes): packets and requests wake the engine at
// once in either case.
constexpr EngineThread::Periods kPeriods{std::chrono::milliseconds(20), std::chrono::seconds(1),
                                         std::chrono::seconds(2)};

struct Engine {
    EngineThread thread;
    Softphone phone;
};

std::mutex g_engine_mu;
std::shared_ptr<Engine> g_engine;
std::atomic<int> g_log_level{0};

std::shared_ptr<Engine> Current() {
    std::lock_guard<std::mutex> lock(g_engine_mu);
    return g_engine;
}

std::shared_ptr<Engine> Running() {
    std::lock_guard<std::mutex> lock(g_engine_mu);
    if (g_engine) return g_engine;
    auto engine = std::make_shared<Engine>();
    Engine* e = engine.get();
    const bool ok = e->thread.Start(
        [e] {
            ApplyLogLevel(g_log_level.load());
            if (!e->phone.Open()) return false;
            e->thread.Watch(e->phone.WakeSockets());
            return true;
        },
        [e] {
            const bool busy = e->phone.Tick();
            if (e->phone.SipSocketsChanged()) e->thread.Watch(e->phone.WakeSockets());
            return busy;
        },
        [e] { e->phone.Close(); }, kPeriods);
    if (!ok) return nullptr;
    g_engine = engine;
    return engine;
}

// A device name stays readable until the next name query.
std::mutex g_name_mu;
std::string g_name;

const char* DeviceName(bool playback, int index) {
    std::vector<std::string> names;
    if (auto engine = Running())
        names = engine->thread.Call<std::vector<std::string>>(
            [engine, playback] { return engine->phone.Devices(playback); }, {});
    std::lock_guard<std::mutex> lock(g_name_mu);
    g_name = index >= 1 && static_cast<size_t>(index) <= names.size()
                 ? Utf8ToCp936(names[static_cast<size_t>(index) - 1])
                 : std::string();
    return g_name.c_str();
}

int DeviceCount(bool playback) {
    auto engine = Running();
    if (!engine) return 0;
    return engine->thread.Call<int>(
        [engine, playback] { return static_cast<int>(engine->phone.Devices(playback).size()); }, 0);
}

}  // namespace
}  // namespace zent

using namespace zent;

extern "C" {

void SphSipSetRegStatsCalllBack(SphRegStatsCallback callback) { Callbacks().reg = callback; }
void SphSipSetCallStatsCalllBack(SphCallStatsCallback callback) { Callbacks().call = callback; }
void SphSipSetAudioStatsCalllBack(SphAudioStatsCallback callback) { Callbacks().audio = callback; }
void SphSipSetIncomingCalllBack(SphIncomingCallback callback) { Callbacks().incoming = callback; }
void SphSipRecvMessageCalllBack(SphRecvMessageCallback callback) { Callbacks().message = callback; }

void SphSipInfo(int level) {
    g_log_level = level;
    if (auto engine = Current())
        engine->thread.Post([level] { ApplyLogLevel(level); });
    else
        ApplyLogLevel(level);
}

void SphSetAudioCode(const char* codec1, const char* codec2, const char* codec3, const char* codec4, const char* codec5,
                     const char* codec6) {
    std::vector<std::string> codecs;
    for (const char* c : {codec1, codec2, codec3, codec4, codec5, codec6})
        if (c && *c) codecs.push_back(Cp936ToUtf8(c));
    if (auto engine = Running()) engine->thread.Post([engine, codecs] { engine->phone.SetCodecs(codecs); });
}

void SphSipReg(const char* server, const char* user, const char* password, const char* authuser) {
    std::string s = Cp936ToUtf8(server), u = Cp936ToUtf8(user), p = Cp936ToUtf8(password), a = Cp936ToUtf8(authuser);
    if (auto engine = Running()) engine->thread.Post([engine, s, u, p, a] { engine->phone.Register(s, u, p, a); });
}

int SphSipGetPlayDeviceCount(void) { return DeviceCount(true); }
int SphSipGetRecvDeviceCount(void) { return DeviceCount(false); }
const char* SphSipGetPlayDeviceName(int index) { return DeviceName(true, index); }
const char* SphSipGetRecvDeviceName(int index) { return DeviceName(false, index); }

int SphSiMakeCall(const char* number) {
    std::string n = Cp936ToUtf8(number);
    auto engine = Running();
    if (!engine) return -1;
    return engine->thread.Call<int>([engine, n] { return engine->phone.MakeCall(n); }, -1);
}

void SphSipAnswer(int line) {
    if (auto engine = Current()) engine->thread.Post([engine, line] { engine->phone.Answer(line); });
}

void SphSipHanpCall(int line) {
    if (auto engine = Current()) engine->thread.Post([engine, line] { engine->phone.HangUp(line); });
}

void SphSipSendDigit(int line, const char* digit) {
    if (!digit) return;
    const char d = digit[0];
    const bool valid = (d >= '0' && d <= '9') || d == '*' || d == '#' || (d >= 'A' && d <= 'D');
    if (!valid) return;
    if (auto engine = Current()) engine->thread.Post([engine, line, d] { engine->phone.SendDigit(line, d); });
}

void SphSipSendMessage(const char* address, const char* body) {
    std::string a = Cp936ToUtf8(address), b = Cp936ToUtf8(body);
    if (a.empty()) return;
    if (auto engine = Running()) engine->thread.Post([engine, a, b] { engine->phone.SendMessage(a, b); });
}

void SphSipDestory(void) {
    std::shared_ptr<Engine> engine;
    {
        std::lock_guard<std::mutex> lock(g_engine_mu);
        engine.swap(g_engine);
    }
    if (!engine) return;
    if (engine->thread.OnThread()) {
        // From inside a callback the thread cannot join itself: end it from a helper.
        std::thread([engine] { engine->thread.Stop(); }).detach();
        return;
    }
    engine->thread.Stop();
}

}  // extern "C"
