// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/status_link.h"

#include <algorithm>

using text::Ansi;

namespace {

// The part of `s` from 1-based position p, n bytes long: empty when p lies
// beyond the text or n < 1; a p below 1 counts as 1; n stops at the end.
Ansi Part(const Ansi& s, long long p, long long n) {
    if (p < 1) p = 1;
    const long long size = static_cast<long long>(s.size());
    if (p > size || n < 1) return {};
    return s.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(std::min(n, size - p + 1)));
}

// 1-based position of the first `c` in `s`, 0 when there is none.
long long Pos(char c, const Ansi& s) {
    const auto at = s.find(c);
    return at == Ansi::npos ? 0 : static_cast<long long>(at) + 1;
}

}  // namespace

StatusLink ParseStatusText(const Ansi& s, const Ansi& webServer) {
    StatusLink link;
    const long long q = Pos('?', s) + 1;
    const Ansi query = Part(s, q, static_cast<long long>(s.size()));
    const long long l = static_cast<long long>(webServer.size());
    link.path = Part(s, l, q - l - 1);

    link.showInPanel = Part(s, 1, 4) != "http" && Part(s, 1, 6) != "Ravelo";

    const long long amp = Pos('&', query);
    const Ansi rest = Part(query, amp + 1, static_cast<long long>(query.size()));
    const long long eq = Pos('=', rest) + 1;
    const Ansi number = Part(rest, eq, static_cast<long long>(rest.size()));

    if (number.size() >= 11 && number.size() <= 15) {
        const long long n = static_cast<long long>(number.size());
        if (text::IsDecimalInt32(Part(number, 1, 8)) && text::IsDecimalInt32(Part(number, 7, n))) link.number = number;
    }
    return link;
}
