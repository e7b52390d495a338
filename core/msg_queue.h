// SPDX-License-Identifier: GPL-3.0-or-later
// Received text messages that no message window has taken yet.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "core/text.h"

// Fixed record of 1112 bytes, copied by value into the queue.
struct MsgRecord {
    char sender[52];    // zero-terminated, at most 51 bytes of text
    std::int32_t flag;  // always 0
    char time[30];      // arrival date-time text, zero-terminated
    char text[1026];    // message, zero-terminated, at most 1025 bytes of text
};
static_assert(sizeof(MsgRecord) == 1112, "MsgRecord keeps its stored size");

// Copies `src` into `field` of `size` bytes, zero-terminated. A text too long
// is cut at a character boundary so no half Chinese character is left behind.
void CopyToField(char* field, std::size_t size, const text::Ansi& src);

// First-in first-out, unbounded. Pushes may come from the engine's thread,
// so every operation holds the queue's lock.
class TMsgQueue {
public:
    void Push(const MsgRecord& r);
    // Removes and returns the front record when `pred` accepts it; the queue
    // is left unchanged otherwise.
    template <class Pred>
    std::optional<MsgRecord> PopFrontIf(Pred pred) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (items_.empty() || !pred(items_.front())) return std::nullopt;
        MsgRecord r = items_.front();
        items_.pop_front();
        return r;
    }
    // True when `pred` accepts any record, front to back.
    template <class Pred>
    bool AnyOf(Pred pred) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const MsgRecord& r : items_)
            if (pred(r)) return true;
        return false;
    }
    std::size_t Size() const;
    bool Empty() const { return Size() == 0; }
    void Clear();
    // Called after each Push, on the pushing thread, outside the lock: the
    // windows learn that a message waits without looking for one.
    using PushListener = void (*)(const MsgRecord&);
    void SetPushListener(PushListener listener) { listener_ = listener; }

private:
    mutable std::mutex mutex_;
    std::deque<MsgRecord> items_;
    std::atomic<PushListener> listener_{nullptr};
};

extern TMsgQueue MsgQueue;

// Stores one received message at the back of MsgQueue, stamped with the
// current local date and time.
void QueueReceivedMessage(const char* from, const char* text);

// The message key of a sender: its user part (after the first ":", up to and
// including the first "@") without a leading "86" ("sip:86" + N + "@domain"
// gives N + "@"; "sip:" + N + "@domain", N not starting with 86, too).
text::Ansi MessageKey(const text::Ansi& sender);

// Takes the front message when it belongs to `number`; returns
// number + "@" + " " + text, or an empty text. Messages behind a front record
// of another peer wait until that peer's window takes it.
text::Ansi TakeMessageFor(const text::Ansi& number);
