// SPDX-License-Identifier: GPL-3.0-or-later
// Where the client keeps its files. Started from a folder it can write (the
// build folder, a portable copy), it keeps them as it always did: Info.ini
// beside the executable, the log folder and the tones under the working
// folder. Installed (its program folder is the package's, or one it cannot
// write that holds no Info.ini it can write), it keeps each user's files in that user's folders: Info.ini in
// $XDG_CONFIG_HOME/RaveloZent/, the log folder in $XDG_STATE_HOME/RaveloZent/,
// and finds the tones in the package's data folder.
#pragma once
#include <string>

namespace platform {

// True when the client runs as an installed program (see above).
bool InstalledLayout();

// Full path of Info.ini.
std::string SettingsFile();
// SettingsFile(), after the first start of a user has copied the package's
// Info.ini there. A user's folder that exists already is the sign of an
// earlier start: nothing is then created or overwritten.
std::string PrepareSettingsFile();

// The folder that holds the daily logs: "log" (relative to the working
// folder) or the user's state folder + "/log", whose parent is made here.
std::string LogFolder();

// A data file written as the program names it ("sound\\ring.wav"): as it
// stands (relative to the working folder), or inside the package's data folder.
std::string DataFile(const std::string& relative);

// The command that starts the client with the desktop: the executable's full
// path, or the installed launcher's command.
std::string StartCommand();

// The package's own places, fixed when it is built. Tests point them at
// folders of their own; nullptr restores the built-in ones.
struct InstallFolders {
    std::string program;  // folder of the installed executable
    std::string seedIni;  // the package's Info.ini, copied on a user's first start
    std::string data;     // pictures and tones
    std::string command;  // the launcher's command
};
void SetInstallFolders(const InstallFolders* folders);

}  // namespace platform
