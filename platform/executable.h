// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

namespace platform {

// Full path of the running executable (CP936 bytes on Windows, file system bytes elsewhere).
std::string ExecutablePath();
// Folder of the executable with a trailing separator ("\\" on Windows, "/" elsewhere).
std::string ExecutableFolder();
// Tests point the program at a folder of their own; empty restores the real one.
void SetExecutableFolderOverride(const std::string& folder);

// Maps the program's "\\" separators to the platform's.
std::string NativePath(const std::string& path);

}  // namespace platform
