// SPDX-License-Identifier: GPL-3.0-or-later
// The SIP server discovery's answer, "server#user token#password token",
// taken apart. Pure text work, so any bytes a server sends can be tried on it.
#pragma once
#include <optional>

#include "core/text.h"

struct DiscoveryAnswer {
    text::Ansi sipServer;  // host:port, before the first "#"
    text::Ansi userDes;    // between the first and the second "#"
    text::Ansi md5Pwd;     // everything after the second "#"
    text::Ansi webServer;  // "http://" + the server's host + ":8080/"
};

// nullopt for an answer shorter than 16 or longer than 200 bytes (the
// service's "illegal data"); any other answer splits, "#" or not.
std::optional<DiscoveryAnswer> SplitDiscoveryAnswer(const text::Ansi& answer);
