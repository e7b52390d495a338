// SPDX-License-Identifier: GPL-3.0-or-later
// Start-with-the-desktop entry. Written, never deleted.
#pragma once
#include <string>

namespace platform {

class AutoStart {
public:
    virtual ~AutoStart() = default;
    // Registers `exePath` (full path, CP936) to start with the user's session.
    // Returns false on any failure; callers ignore it.
    virtual bool Register(const std::string& exePath) = 0;
};

// Windows: HKLM "Software\Microsoft\Windows\CurrentVersion\run", value "startup ".
// Linux: $XDG_CONFIG_HOME/autostart (or ~/.config/autostart) desktop entry.
AutoStart& autoStart();
void SetAutoStart(AutoStart* a);  // nullptr restores the real one

}  // namespace platform
