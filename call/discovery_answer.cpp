// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/discovery_answer.h"

namespace {
constexpr std::size_t kMinAnswer = 16;
constexpr std::size_t kMaxAnswer = 200;
}  // namespace

std::optional<DiscoveryAnswer> SplitDiscoveryAnswer(const text::Ansi& answer) {
    if (answer.size() < kMinAnswer || answer.size() > kMaxAnswer) return std::nullopt;
    DiscoveryAnswer a;
    const auto first = answer.find('#');
    a.sipServer = answer.substr(0, first);
    const text::Ansi rest = first == text::Ansi::npos ? text::Ansi() : answer.substr(first + 1);
    const auto second = rest.find('#');
    a.userDes = rest.substr(0, second);
    a.md5Pwd = second == text::Ansi::npos ? text::Ansi() : rest.substr(second + 1);
    a.webServer = "http://" + a.sipServer.substr(0, a.sipServer.find(':')) + ":8080/";
    return a;
}
