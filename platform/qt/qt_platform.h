// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace platform {

// Installs the Qt dialogs, sound player, shell open and message pump.
// Call once after the QApplication exists.
void InstallQtPlatform();

}  // namespace platform
