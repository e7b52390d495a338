// SPDX-License-Identifier: GPL-3.0-or-later
// How a received message's sender becomes the peer number of a message
// window, and back from the window's caption. Pure text work, no widgets.
#pragma once
#include <optional>

#include "core/msg_queue.h"
#include "core/text.h"

// The characters of `caption` after its first "(" (from its first character
// when it has none) and before its first ")"; empty when it has no ")" or the
// first ")" comes before the first "(".
text::Ansi PeerNumberFromCaption(const text::Ansi& caption);

// The sender's number: its message key without the closing "@".
text::Ansi SenderNumber(const text::Ansi& sender);

// The peer number of the window that a message from `sender` belongs to: the
// sender's number as it reads back from a caption made of it.
text::Ansi PeerOfSender(const text::Ansi& sender);

// A message whose sender no caption can give back (no "@", a ")" in the
// number, a sender cut to fit its record) would wait at the front of the
// queue for ever and hold every later message behind it. The window of
// PeerOfSender takes such a record here; nullopt when the front record is
// not one of those or belongs to another window.
std::optional<MsgRecord> TakeStrayMessageFor(const text::Ansi& number);
