// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace platform {

// Installs the Qt dialogs, sound player, shell open and message pump.
// Call once after the QApplication exists.
void InstallQtPlatform();

// Qt's own texts (the dialogs' 是/否/确定 buttons) in the client's language,
// Simplified Chinese, whatever the machine's region. False when the
// translations are not installed: the buttons then stay in English.
bool InstallQtTranslations();

}  // namespace platform
