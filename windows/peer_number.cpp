// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/peer_number.h"

text::Ansi PeerNumberFromCaption(const text::Ansi& caption) {
    const std::size_t close = caption.find(')');
    if (close == text::Ansi::npos) return {};
    const std::size_t open = caption.find('(');
    if (open == text::Ansi::npos) return caption.substr(0, close);
    if (close < open) return {};
    return caption.substr(open + 1, close - open - 1);
}

text::Ansi SenderNumber(const text::Ansi& sender) {
    const text::Ansi key = MessageKey(sender);
    return key.empty() ? key : key.substr(0, key.size() - 1);
}

text::Ansi PeerOfSender(const text::Ansi& sender) { return PeerNumberFromCaption("(" + SenderNumber(sender) + ")"); }

std::optional<MsgRecord> TakeStrayMessageFor(const text::Ansi& number) {
    return MsgQueue.PopFrontIf([&](const MsgRecord& r) {
        const text::Ansi peer = PeerOfSender(r.sender);
        return peer == number && MessageKey(r.sender) != peer + "@";
    });
}
