// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/discovery_answer.h"

namespace {
constexpr std::size_t kMinAnswer = 16;
constexpr std::size_t kMaxAnswer = 200;
}  // namespace

std::optional<DiscoveryAnswer> SplitDiscoveryAnswer(const text::Ansi& answer) {
    // An answer is three fields: anything without both separators (an error
    // page of the right size, say) would become the server of every later
    // call and page, so it is illegal data like one of the wrong size.
    const auto first = answer.find('#');
    const auto second = first == text::Ansi::npos ? first : answer.find('#', first + 1);
    if (answer.size() < kMinAnswer || answer.size() > kMaxAnswer || second == text::Ansi::npos) return std::nullopt;
    DiscoveryAnswer a;
    a.sipServer = answer.substr(0, first);
    a.userDes = answer.substr(first + 1, second - first - 1);
    a.md5Pwd = answer.substr(second + 1);
    a.webServer = "http://" + a.sipServer.substr(0, a.sipServer.find(':')) + ":8080/";
    return a;
}
