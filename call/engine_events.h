// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's five callbacks. The engine may call them on its own thread;
// each hands its whole effect to the GUI thread as one task, so shared state,
// widgets, dialogs and sounds are touched there only, in the engine's order.
#pragma once
#include <functional>

#include "zent_softphone.h"
#include "core/text.h"

class TfrmCall;

// Runs `task` on the GUI thread, after every task handed over before it; safe
// from any thread. The tasks wait in a queue of our own under a std::mutex:
// the form is only woken to take them, so no object of ours crosses threads
// through Qt's event queue, whose lock ThreadSanitizer cannot see.
void RunOnGuiThread(std::function<void()> task);
// The form that runs the tasks (TfrmCall::RunGuiTasks); nullptr while there is
// none, and then tasks are dropped: the program is ending.
void SetGuiTaskTarget(TfrmCall* form);
// A registration asked before the windows exist: the engine's events are
// kept, in order, until the login that the user sees has reached the
// registration (ReleaseEngineEvents), as if it had been asked there.
void HoldEngineEvents();
void ReleaseEngineEvents();

void SPH_CALL RegStatsCallback(int status);
void SPH_CALL CallStatsCallback(int line, const char* state);
void SPH_CALL AudioStatsCallback(int outLevel, int inLevel);
void SPH_CALL IncomingCallback(int line, const char* from);
void SPH_CALL RecvMessageCallback(const char* from, const char* body);

// The effects themselves, on the GUI thread.
void ApplyRegStatus(int status);
// The server refused the account (401, 403, 404) and has not accepted it since.
bool RegistrationRefused();
void ApplyCallState(int line, const text::Ansi& state);
