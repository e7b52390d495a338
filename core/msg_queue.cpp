// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/msg_queue.h"

#include <cstring>

#include "core/daily_log.h"

TMsgQueue MsgQueue;

namespace {

// Length of the longest prefix of `s` within `max` bytes that does not end
// inside a double-byte character (lead bytes of CP936 are 0x81-0xFE).
std::size_t CutAtCharBoundary(const text::Ansi& s, std::size_t max) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t w = (c >= 0x81 && c <= 0xFE && i + 1 < s.size()) ? 2 : 1;
        if (i + w > max) break;
        i += w;
    }
    return i;
}

}  // namespace

void CopyToField(char* field, std::size_t size, const text::Ansi& src) {
    std::memset(field, 0, size);
    // A zero byte ends the text the way the engine's zero-terminated strings do.
    text::Ansi s = src.substr(0, src.find('\0'));
    std::size_t n = CutAtCharBoundary(s, size - 1);
    std::memcpy(field, s.data(), n);
}

void TMsgQueue::Push(const MsgRecord& r) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(r);
    }
    if (PushListener listener = listener_.load()) listener(r);
}

std::size_t TMsgQueue::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
}

void TMsgQueue::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.clear();
}

void QueueReceivedMessage(const char* from, const char* text) {
    MsgRecord r;
    CopyToField(r.sender, sizeof r.sender, from ? from : "");
    r.flag = 0;
    CopyToField(r.time, sizeof r.time, DateTimeText());
    CopyToField(r.text, sizeof r.text, text ? text : "");
    MsgQueue.Push(r);
}

text::Ansi MessageKey(const text::Ansi& sender) {
    const std::size_t colon = sender.find(':');
    const std::size_t at = sender.find('@');
    // The user part starts after the first ":" (at the first character without one).
    std::size_t start = colon == text::Ansi::npos ? 0 : colon + 1;
    // The service's country code 86 is not part of the number; a sender that
    // does not start with it (another network, a client of its own) is taken
    // as it stands, so a reply goes back to the number it came from.
    if (sender.compare(start, 2, "86") == 0) start += 2;
    if (at == text::Ansi::npos || at < start) return {};
    return sender.substr(start, at - start + 1);
}

text::Ansi TakeMessageFor(const text::Ansi& number) {
    const text::Ansi wanted = number + "@";
    auto r = MsgQueue.PopFrontIf([&](const MsgRecord& rec) { return MessageKey(rec.sender) == wanted; });
    if (!r) return {};
    return wanted + " " + r->text;
}
