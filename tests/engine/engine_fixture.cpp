// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine_fixture.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "zent_softphone.h"

namespace {

std::mutex g_mu;
std::condition_variable g_cv;
std::vector<EngineEvent> g_events;

void Push(EngineEvent e) {
    {
        std::lock_guard<std::mutex> lock(g_mu);
        g_events.push_back(std::move(e));
    }
    g_cv.notify_all();
}

void OnReg(int status) { Push({"reg", status, 0, {}, {}}); }
void OnCall(int line, const char* state) { Push({"call", line, 0, state ? state : "(null)", {}}); }
void OnAudio(int out, int in) { Push({"audio", out, in, {}, {}}); }
void OnIncoming(int line, const char* from) { Push({"incoming", line, 0, from ? from : "(null)", {}}); }
void OnMessage(const char* from, const char* body) {
    Push({"message", 0, 0, from ? from : "(null)", body ? body : "(null)"});
}

}  // namespace

void EngineTest::UseSlot(int n) {
    slot_ = n;
    setenv("ZENT_SOFTPHONE_SIP_PORT", std::to_string(EnginePort()).c_str(), 1);
    {
        std::lock_guard<std::mutex> lock(g_mu);
        g_events.clear();
    }
    SphSipSetRegStatsCalllBack(OnReg);
    SphSipSetCallStatsCalllBack(OnCall);
    SphSipSetAudioStatsCalllBack(OnAudio);
    SphSipSetIncomingCalllBack(OnIncoming);
    SphSipRecvMessageCalllBack(OnMessage);
    SphSipInfo(0);
    SphSetAudioCode("ILBC/8000", "SPEEX/8000", "G729/8000", "GSM/8000", "PCMA/8000", "G722/8000");
}

void EngineTest::TearDown() {
    SphSipDestory();
    peers_.clear();
}

SippPeer* EngineTest::StartPeer(const std::string& scenario, int port, const std::string& remote, int calls,
                                std::vector<std::string> extra) {
    peers_.push_back(std::make_unique<SippPeer>(scenario, port, remote, calls, std::move(extra)));
    return peers_.back()->Start() ? peers_.back().get() : nullptr;
}

EngineEvent EngineTest::WaitFor(const std::function<bool(const EngineEvent&)>& match, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(g_mu);
    EngineEvent found;
    g_cv.wait_for(lock, limit, [&] {
        for (const EngineEvent& e : g_events)
            if (match(e)) {
                found = e;
                return true;
            }
        return false;
    });
    return found;
}

EngineEvent EngineTest::WaitForReg(std::chrono::milliseconds limit) {
    return WaitFor([](const EngineEvent& e) { return e.kind == "reg"; }, limit);
}

EngineEvent EngineTest::WaitForCall(int line, const std::string& state, std::chrono::milliseconds limit) {
    return WaitFor([&](const EngineEvent& e) { return e.kind == "call" && e.number == line && e.text == state; },
                   limit);
}

std::vector<EngineEvent> EngineTest::Events() {
    std::lock_guard<std::mutex> lock(g_mu);
    return g_events;
}

std::vector<std::string> EngineTest::CallStates(int line) {
    std::vector<std::string> states;
    for (const EngineEvent& e : Events())
        if (e.kind == "call" && e.number == line) states.push_back(e.text);
    return states;
}

void EngineTest::RegisterOk() {
    SphSipReg(Server().c_str(), kUser, kPassword, kUser);
    EngineEvent reg = WaitForReg();
    ASSERT_EQ(reg.kind, "reg") << "no registration outcome";
    ASSERT_EQ(reg.number, 200);
}
