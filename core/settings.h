// SPDX-License-Identifier: GPL-3.0-or-later
// Info.ini beside the executable, section "LoadInfo": the stored credentials
// (enciphered) and the user's choices.
#pragma once
#include <string>

#include "core/text.h"

// Path of the settings file: the executable's folder + "Info.ini", or the
// user's own copy for an installed client (platform/user_files.h).
std::string SettingsPath();

// Reads Info.ini into the shared variables. A missing file changes nothing.
// An installed client's first start copies the package's Info.ini first.
// A stored account or password that cannot be deciphered is reported once
// (the framework's message dialog) and left empty; the rest still loads.
void LoadSettings();

// What a login decided at start needs, read as LoadSettings reads it but
// without any of its effects: no dialog, no copy of the package's file, no
// write. False when the file is missing or unreadable, or a stored
// credential does not decipher.
struct StoredLogin {
    text::Ansi account;
    text::Ansi password;
    text::Ansi autoLogin;
    text::Ansi lineType;     // sADSL_Type
    text::Ansi debugSipSrv;  // set: LoadSettings asks the user about it first
};
bool ReadStoredLogin(StoredLogin& out);

// Writes the credentials (enciphered) and choices back; never creates the
// file. Throws std::length_error when a credential is too long to encipher;
// the file is then left as it was.
void SaveSettings();

// Registers the executable to start with the desktop; false does nothing.
void SetAutoStart(bool enable);
