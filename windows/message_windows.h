// SPDX-License-Identifier: GPL-3.0-or-later
// All message windows, and how a received message finds its window.
#pragma once
#include <optional>
#include <vector>

#include "core/msg_queue.h"
#include "core/text.h"

class TfrmMessage;

// The characters of `caption` after its first "(" (from its first character
// when it has none) and before its first ")"; empty when it has no ")" or the
// first ")" comes before the first "(".
text::Ansi PeerNumberFromCaption(const text::Ansi& caption);

// The peer number of the window that a message from `sender` belongs to: the
// sender's number as it reads back from a caption made of it.
text::Ansi PeerOfSender(const text::Ansi& sender);

// The message windows alive, oldest first. Each window adds itself when built
// and removes itself when destroyed.
const std::vector<TfrmMessage*>& MessageWindows();
void AddMessageWindow(TfrmMessage* w);
void RemoveMessageWindow(TfrmMessage* w);

// The first message window whose caption gives `number`, or nullptr; always
// nullptr for an empty number (the start-up window is never a peer's).
TfrmMessage* FindMessageWindow(const text::Ansi& number);

// The call control's handler of a received message: logs each of the
// program's windows it looks at, shows the message window of `number`
// (restoring it when minimised) or creates one owned by the call-control
// form, then makes sure the message at the front of the queue has a window
// too. A message without a number gets no window: it is dropped with a log
// line.
void ShowPeerWindow(const text::Ansi& number);

// A message whose sender no caption can give back (no "@", a ")" in the
// number, a sender cut to fit its record) would wait at the front of the
// queue for ever and hold every later message behind it. The window of
// PeerOfSender takes such a record here; nullopt when the front record is
// not one of those or belongs to another window.
std::optional<MsgRecord> TakeStrayMessageFor(const text::Ansi& number);

// Makes sure the message at the front of the queue has a window, shown, that
// will take it: messages arriving together, or a window the user closed, must
// not leave it unseen or block the queue. Front messages whose sender gives
// no number are dropped with a log line.
void ShowWindowForFrontMessage();
