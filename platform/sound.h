// SPDX-License-Identifier: GPL-3.0-or-later
// Wave playback without waiting: one player, a new sound ends the one playing.
#pragma once
#include <string>

namespace platform {

class Sound {
public:
    virtual ~Sound() = default;
    // `path` as the program writes it ("sound\\ring.wav"), relative to the working folder.
    virtual void Play(const std::string& path, bool loop) = 0;
    virtual void Stop() = 0;
};

Sound& sound();
void SetSound(Sound* s);  // nullptr restores the silent implementation

}  // namespace platform
