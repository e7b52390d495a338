// SPDX-License-Identifier: GPL-3.0-or-later
// Modal dialogs. All texts are CP936 byte strings.
#pragma once
#include <string>

namespace platform {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Exclamation icon, OK button.
    virtual void ShowWarningBox(const std::string& text, const std::string& caption) = 0;
    // Information icon, OK button.
    virtual void ShowInfoBox(const std::string& text, const std::string& caption) = 0;
    // Question icon, Yes and No; true only for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // The framework's own information dialog: OK button, the application title as caption.
    virtual void ShowMessage(const std::string& text) = 0;
    // The framework's own warning dialog: exclamation icon, a single Yes
    // button, the application title as caption.
    virtual void ShowWarningMessage(const std::string& text) = 0;
    // Withdraws the question AskYesNo has open (the last one opened), which
    // then answers No. Nothing happens when none is open.
    virtual void CloseQuestion() {}
};

// The dialogs in use. Until an implementation is installed, a console one
// prints to stderr and answers No.
Dialogs& dialogs();
// Installs `d` (not owned); nullptr restores the console implementation.
void SetDialogs(Dialogs* d);

}  // namespace platform
