// SPDX-License-Identifier: GPL-3.0-or-later
// What the call control needs of the windows above it. The main window and
// the login window implement these and register themselves at creation, so
// the call control never includes their headers.
#pragma once
#include "core/text.h"

class MainWindowPort {
public:
    virtual ~MainWindowPort() = default;
    virtual void SetTips(const text::Ansi& caption) = 0;              // the status label
    virtual void SetStatusPanel(int panel, const text::Ansi& t) = 0;  // StatusBar panel 0 or 1
    virtual void OpenWebPage(const text::Ansi& url) = 0;              // navigate CppWebBrowser and show it
    virtual void StartBillTimer() = 0;                                // Timer_bill on
    virtual void StopBillTimer() = 0;                                 // Timer_bill off
    virtual void SetSoundLevels(int outLevel, int inLevel) = 0;       // Sound_OUT, Sound_IN (0-100)
    virtual void AddPhoneHistory(const text::Ansi& number) = 0;       // an item of PhoneNum's list
};

class LoginWindowPort {
public:
    virtual ~LoginWindowPort() = default;
    // Closes the login window if it is showing.
    virtual void CloseLogin() = 0;
    // Fills the boxes and the two options, shows the window modally and
    // returns its confirmation flag (LoginAccepted) once it closes.
    virtual bool RunLogin(const text::Ansi& account, const text::Ansi& password, bool autoLogin, bool autoRun) = 0;
};

class MessageWindowsPort {
public:
    virtual ~MessageWindowsPort() = default;
    // Shows the chat window of the peer `number` (cut from the sender of the
    // message just received), creating it when there is none.
    virtual void ShowPeerWindow(const text::Ansi& number) = 0;
};

// Registration; nullptr unregisters. Until registered, the call control's
// effects on that window are skipped.
void SetMainWindowPort(MainWindowPort* p);
void SetLoginWindowPort(LoginWindowPort* p);
void SetMessageWindowsPort(MessageWindowsPort* p);
MainWindowPort* mainWindowPort();
LoginWindowPort* loginWindowPort();
MessageWindowsPort* messageWindowsPort();
