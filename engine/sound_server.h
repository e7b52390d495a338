// SPDX-License-Identifier: GPL-3.0-or-later
// What the sound server (PulseAudio, or PipeWire speaking its protocol)
// holds as its default playback and capture device, the ones the user picks
// in the desktop's sound settings. liblinphone lists the server's devices but
// not which of them is the default, and opens each call on a fixed device;
// this watch tells the engine when to move. Driven from the engine thread
// without blocking; with no server it reports nothing.
#ifndef ZENT_ENGINE_SOUND_SERVER_H
#define ZENT_ENGINE_SOUND_SERVER_H

#include <chrono>
#include <memory>
#include <string>

namespace zent {

class SoundServer {
public:
    struct Defaults {
        std::string playback;  // the devices' descriptions, as the stack names its cards
        std::string capture;
        unsigned devices = 0;  // counts the appearing and disappearing of devices
        bool operator==(const Defaults&) const = default;
    };

    SoundServer();
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Handles what the server said since the last call (connects first, and
    // again a while after the server went away). True when the defaults or
    // the set of devices changed since the last true. Waits up to `wait` for
    // answers on their way (before a call starts on the devices).
    bool Poll(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // Known once the server answered; empty names before.
    const Defaults& Current() const { return reported_; }

private:
    struct State;
    std::unique_ptr<State> state_;
    Defaults reported_;
    std::chrono::steady_clock::time_point next_connect_{};
};

}  // namespace zent

#endif
