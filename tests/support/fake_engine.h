// SPDX-License-Identifier: GPL-3.0-or-later
// A recording stand-in for libzent_softphone: the same 18 functions, which
// record their calls; a test scripts results and fires the callbacks.
#pragma once
#include <string>
#include <vector>

namespace fake_engine {

struct Call {
    std::string fn;                 // e.g. "SphSipReg"
    std::vector<std::string> args;  // arguments as text, in order
};

// Forgets calls, callbacks, devices and scripted results.
void Reset();
std::vector<Call> Calls();
// The calls of one function, in order.
std::vector<Call> CallsOf(const std::string& fn);

void SetMakeCallResult(int id);
void SetDevices(std::vector<std::string> play, std::vector<std::string> recv);
// The next call of `fn` ("SphSipAnswer" or "SphSipHanpCall") throws std::runtime_error(message).
void ThrowOnce(const std::string& fn, const std::string& message);

// Fire the callbacks the client handed over; false when none is set.
bool FireReg(int status);
bool FireCallState(int line, const char* state);
bool FireAudio(int outLevel, int inLevel);
bool FireIncoming(int line, const char* from);
bool FireMessage(const char* from, const char* body);

}  // namespace fake_engine
