// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fake_engine.h"

#include <map>
#include <mutex>
#include <stdexcept>

#include "zent_softphone.h"

namespace fake_engine {
namespace {

struct State {
    std::mutex mutex;
    std::vector<Call> calls;
    SphRegStatsCallback reg = nullptr;
    SphCallStatsCallback call = nullptr;
    SphAudioStatsCallback audio = nullptr;
    SphIncomingCallback incoming = nullptr;
    SphRecvMessageCallback message = nullptr;
    int makeCallResult = 0;
    std::vector<std::string> play, recv;
    std::map<std::string, std::string> throwOnce;
    std::string lastName;
};

State& S() {
    static State s;
    return s;
}

void Record(std::string fn, std::vector<std::string> args) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().calls.push_back({std::move(fn), std::move(args)});
}

std::string Str(const char* s) { return s ? s : "<null>"; }

void MaybeThrow(const std::string& fn) {
    std::string msg;
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        auto it = S().throwOnce.find(fn);
        if (it == S().throwOnce.end()) return;
        msg = it->second;
        S().throwOnce.erase(it);
    }
    throw std::runtime_error(msg);
}

template <class F>
F Get(F State::*member) {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().*member;
}

}  // namespace

void Reset() {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().calls.clear();
    S().reg = nullptr;
    S().call = nullptr;
    S().audio = nullptr;
    S().incoming = nullptr;
    S().message = nullptr;
    S().makeCallResult = 0;
    S().play.clear();
    S().recv.clear();
    S().throwOnce.clear();
}

std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().calls;
}

std::vector<Call> CallsOf(const std::string& fn) {
    std::vector<Call> r;
    for (const Call& c : Calls())
        if (c.fn == fn) r.push_back(c);
    return r;
}

void SetMakeCallResult(int id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().makeCallResult = id;
}

void SetDevices(std::vector<std::string> play, std::vector<std::string> recv) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().play = std::move(play);
    S().recv = std::move(recv);
}

void ThrowOnce(const std::string& fn, const std::string& message) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().throwOnce[fn] = message;
}

bool FireReg(int status) {
    auto cb = Get(&State::reg);
    if (cb) cb(status);
    return cb != nullptr;
}
bool FireCallState(int line, const char* state) {
    auto cb = Get(&State::call);
    if (cb) cb(line, state);
    return cb != nullptr;
}
bool FireAudio(int outLevel, int inLevel) {
    auto cb = Get(&State::audio);
    if (cb) cb(outLevel, inLevel);
    return cb != nullptr;
}
bool FireIncoming(int line, const char* from) {
    auto cb = Get(&State::incoming);
    if (cb) cb(line, from);
    return cb != nullptr;
}
bool FireMessage(const char* from, const char* body) {
    auto cb = Get(&State::message);
    if (cb) cb(from, body);
    return cb != nullptr;
}

}  // namespace fake_engine

using namespace fake_engine;

extern "C" {

void SPH_CALL SphSipSetRegStatsCalllBack(SphRegStatsCallback cb) {
    Record("SphSipSetRegStatsCalllBack", {});
    std::lock_guard<std::mutex> lock(S().mutex);
    S().reg = cb;
}
void SPH_CALL SphSipSetCallStatsCalllBack(SphCallStatsCallback cb) {
    Record("SphSipSetCallStatsCalllBack", {});
    std::lock_guard<std::mutex> lock(S().mutex);
    S().call = cb;
}
void SPH_CALL SphSipSetAudioStatsCalllBack(SphAudioStatsCallback cb) {
    Record("SphSipSetAudioStatsCalllBack", {});
    std::lock_guard<std::mutex> lock(S().mutex);
    S().audio = cb;
}
void SPH_CALL SphSipSetIncomingCalllBack(SphIncomingCallback cb) {
    Record("SphSipSetIncomingCalllBack", {});
    std::lock_guard<std::mutex> lock(S().mutex);
    S().incoming = cb;
}
void SPH_CALL SphSipRecvMessageCalllBack(SphRecvMessageCallback cb) {
    Record("SphSipRecvMessageCalllBack", {});
    std::lock_guard<std::mutex> lock(S().mutex);
    S().message = cb;
}
void SPH_CALL SphSipInfo(int level) { Record("SphSipInfo", {std::to_string(level)}); }
void SPH_CALL SphSetAudioCode(const char* c1, const char* c2, const char* c3, const char* c4, const char* c5,
                              const char* c6) {
    Record("SphSetAudioCode", {Str(c1), Str(c2), Str(c3), Str(c4), Str(c5), Str(c6)});
}
void SPH_CALL SphSipReg(const char* server, const char* user, const char* password, const char* authuser) {
    Record("SphSipReg", {Str(server), Str(user), Str(password), Str(authuser)});
}
int SPH_CALL SphSipGetPlayDeviceCount(void) {
    Record("SphSipGetPlayDeviceCount", {});
    std::lock_guard<std::mutex> lock(S().mutex);
    return static_cast<int>(S().play.size());
}
int SPH_CALL SphSipGetRecvDeviceCount(void) {
    Record("SphSipGetRecvDeviceCount", {});
    std::lock_guard<std::mutex> lock(S().mutex);
    return static_cast<int>(S().recv.size());
}
const char* SPH_CALL SphSipGetPlayDeviceName(int index) {
    Record("SphSipGetPlayDeviceName", {std::to_string(index)});
    std::lock_guard<std::mutex> lock(S().mutex);
    if (index < 1 || index > static_cast<int>(S().play.size())) return "";
    S().lastName = S().play[static_cast<std::size_t>(index - 1)];
    return S().lastName.c_str();
}
const char* SPH_CALL SphSipGetRecvDeviceName(int index) {
    Record("SphSipGetRecvDeviceName", {std::to_string(index)});
    std::lock_guard<std::mutex> lock(S().mutex);
    if (index < 1 || index > static_cast<int>(S().recv.size())) return "";
    S().lastName = S().recv[static_cast<std::size_t>(index - 1)];
    return S().lastName.c_str();
}
int SPH_CALL SphSiMakeCall(const char* number) {
    Record("SphSiMakeCall", {Str(number)});
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().makeCallResult;
}
void SPH_CALL SphSipAnswer(int line) {
    Record("SphSipAnswer", {std::to_string(line)});
    MaybeThrow("SphSipAnswer");
}
void SPH_CALL SphSipHanpCall(int line) {
    Record("SphSipHanpCall", {std::to_string(line)});
    MaybeThrow("SphSipHanpCall");
}
void SPH_CALL SphSipSendDigit(int line, const char* digit) {
    Record("SphSipSendDigit", {std::to_string(line), Str(digit)});
}
void SPH_CALL SphSipSendMessage(const char* address, const char* body) {
    Record("SphSipSendMessage", {Str(address), Str(body)});
}
void SPH_CALL SphSipDestory(void) { Record("SphSipDestory", {}); }

}  // extern "C"
