// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound.h"

namespace platform {
namespace {

class SilentSound final : public Sound {
public:
    void Play(const std::string&, bool) override {}
    void Stop() override {}
};

SilentSound g_silent;
Sound* g_current = &g_silent;

}  // namespace

Sound& sound() { return *g_current; }
void SetSound(Sound* s) { g_current = s ? s : &g_silent; }

}  // namespace platform
