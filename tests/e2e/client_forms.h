// SPDX-License-Identifier: GPL-3.0-or-later
// The client's four windows made and ended in one process, as main() does.
#pragma once
#include "app/main_window.h"
#include "call/call_control.h"
#include "tests/support/platform_fakes.h"
#include "windows/login_window.h"
#include "windows/message_window.h"

inline void OpenClientForms() {
    frmMain = new TfrmMain;
    frmCall = new TfrmCall;
    frmLogin = new TfrmLogin;
    frmMessage = new TfrmMessage;
}

// The exit command (answered Yes): engine down, log flushed, tray removed;
// then the windows go.
inline void CloseClientForms(fakes::Desktop& desk) {
    desk.dialogs.answers = {true};
    frmMain->ShutdownClick();
    delete frmMessage;
    delete frmLogin;
    delete frmCall;
    delete frmMain;
    frmMessage = nullptr;
    frmLogin = nullptr;
    frmCall = nullptr;
    frmMain = nullptr;
}
