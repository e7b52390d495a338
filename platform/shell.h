// SPDX-License-Identifier: GPL-3.0-or-later
// Opens an address or a file with the user's default program.
#pragma once
#include <string>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // `target` is CP936; returns false when nothing could open it.
    virtual bool Open(const std::string& target) = 0;
};

Shell& shell();
void SetShell(Shell* s);  // nullptr restores the implementation that opens nothing

}  // namespace platform
