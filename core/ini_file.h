// SPDX-License-Identifier: GPL-3.0-or-later
// Writing Info.ini as the desktop's own INI writer does: a save changes only
// the values it sets and keeps every other line (other sections, other keys,
// comments, blank lines) where and as it was. The user and the installer may
// have written the file; others may rely on what they wrote.
#pragma once
#include <string>
#include <utility>
#include <vector>

// `content` with each key of `values` set to its value in `section`. Section
// and key names match without regard to case; a key found keeps its spelling
// and everything up to its value, a key not found is added after the
// section's last line, a section not found is added at the end. New lines end
// like the file's first line (CR LF when it has none).
std::string SetIniValues(const std::string& content, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values);

// Replaces the file's bytes with `data` through a temporary file beside it
// and a rename, so a crash or a full disk never leaves half a file; the new
// file keeps the old one's mode (and owner, where allowed). Where the folder
// cannot take the temporary file but the file itself is writable, the file is
// written in place. False when the file could not be written at all.
bool ReplaceFileContent(const std::string& path, const std::string& data);
