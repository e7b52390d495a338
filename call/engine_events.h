// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's five callbacks. The engine may call them on its own thread;
// each hands its whole effect to the GUI thread as one task, so shared state,
// widgets, dialogs and sounds are touched there only, in the engine's order.
#pragma once
#include <QEvent>
#include <functional>
#include <utility>

#include "zent_softphone.h"
#include "core/text.h"

// A piece of work posted to the call-control form and run on the GUI thread.
class GuiTaskEvent : public QEvent {
public:
    static inline const QEvent::Type kType = static_cast<QEvent::Type>(QEvent::registerEventType());
    explicit GuiTaskEvent(std::function<void()> task) : QEvent(kType), task_(std::move(task)) {}
    void Run() { task_(); }

private:
    std::function<void()> task_;
};

// Runs `task` on the GUI thread, after every task posted before it.
void RunOnGuiThread(std::function<void()> task);

void SPH_CALL RegStatsCallback(int status);
void SPH_CALL CallStatsCallback(int line, const char* state);
void SPH_CALL AudioStatsCallback(int outLevel, int inLevel);
void SPH_CALL IncomingCallback(int line, const char* from);
void SPH_CALL RecvMessageCallback(const char* from, const char* body);

// The effects themselves, on the GUI thread.
void ApplyRegStatus(int status);
void ApplyCallState(int line, const text::Ansi& state);
