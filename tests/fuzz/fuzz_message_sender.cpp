// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary sender and text of a received message, through the queue record,
// the message key and the window caption made of it: whatever the sender, the
// window created for it takes the message, whole or cut at a character
// boundary, so no message blocks the ones behind it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "core/msg_queue.h"
#include "windows/peer_number.h"

namespace {

// A prefix of `whole` up to its first NUL, not ending inside a double-byte character.
bool CleanCut(const std::string& cut, const std::string& whole, std::size_t max) {
    const std::string text = whole.substr(0, whole.find('\0'));
    if (cut.size() > max || text.compare(0, cut.size(), cut) != 0) return false;
    if (cut.size() == text.size()) return true;
    std::size_t i = 0;
    while (i < cut.size()) {
        const unsigned char c = static_cast<unsigned char>(cut[i]);
        i += (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    }
    return i == cut.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte says how much of the rest is the sender.
    const std::size_t split = std::min<std::size_t>(data[0], size - 1);
    const std::string from(reinterpret_cast<const char*>(data) + 1, split);
    const std::string body(reinterpret_cast<const char*>(data) + 1 + split, size - 1 - split);

    MsgQueue.Clear();
    QueueReceivedMessage(from.c_str(), body.c_str());
    MsgRecord stored{};
    MsgQueue.PopFrontIf([&](const MsgRecord& r) {
        stored = r;
        return false;
    });
    const std::string sender(stored.sender), text(stored.text);
    FUZZ_CHECK(CleanCut(sender, from, 51));
    FUZZ_CHECK(CleanCut(text, body, 1025));

    // The window made for this sender has the caption "(" + SenderNumber + ")".
    const std::string number = PeerNumberFromCaption("(" + SenderNumber(sender) + ")");
    FUZZ_CHECK(number == PeerOfSender(sender));
    FUZZ_CHECK(number.find_first_of(")@") == std::string::npos);
    // A reply goes to "sip:86" + number: the service presents it back as the same number.
    FUZZ_CHECK(MessageKey("sip:86" + number + "@d") == number + "@");

    const std::string taken = TakeMessageFor(number);
    if (!taken.empty()) {
        FUZZ_CHECK(taken == number + "@ " + text);
        FUZZ_CHECK(taken.substr(0, taken.find('@')) == number);  // the window's split gives the number back
    } else {
        const std::optional<MsgRecord> stray = TakeStrayMessageFor(number);
        FUZZ_CHECK(stray.has_value());
        FUZZ_CHECK(std::string(stray->text) == text);
    }
    FUZZ_CHECK(MsgQueue.Empty());
    return 0;
}
