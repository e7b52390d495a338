// SPDX-License-Identifier: GPL-3.0-or-later
// All message windows, and how a received message finds its window.
#pragma once
#include <cstddef>
#include <optional>
#include <vector>

#include "core/msg_queue.h"
#include "core/text.h"
#include "windows/peer_number.h"

class TfrmMessage;

// Peer message windows the program opens at most. Each costs about a
// megabyte and a half and lives until exit, so senders without end (a
// flood of new From addresses) would take memory without end; fifty is more
// than a screen shows. A message from one more new peer is answered as any
// other, logged whole with its sender and text, and leaves the queue.
constexpr std::size_t kMostMessageWindows = 50;

// The message windows alive, oldest first. Each window adds itself when built
// and removes itself when destroyed.
const std::vector<TfrmMessage*>& MessageWindows();
void AddMessageWindow(TfrmMessage* w);
void RemoveMessageWindow(TfrmMessage* w);

// True when the queue holds a message that the window of `number` takes;
// always false for an empty number.
bool MessageWaitsFor(const text::Ansi& number);

// The first message window whose caption gives `number`, or nullptr; always
// nullptr for an empty number (the start-up window is never a peer's).
TfrmMessage* FindMessageWindow(const text::Ansi& number);

// The call control's handler of a received message: logs each of the
// program's windows it looks at, shows the message window of `number`
// (restoring it when minimised) or creates one owned by the call-control
// form while there is room for it, then makes sure the message at the front of the queue has a window
// too. A message without a number gets no window: it is dropped with a log
// line.
void ShowPeerWindow(const text::Ansi& number);

// Makes sure the message at the front of the queue has a window, shown, that
// will take it: messages arriving together, or a window the user closed, must
// not leave it unseen or block the queue. Front messages whose sender gives
// no number, or that would need a window beyond kMostMessageWindows, are
// dropped with a log line.
void ShowWindowForFrontMessage();
