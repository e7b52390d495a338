// SPDX-License-Identifier: GPL-3.0-or-later
// The application's list of forms by class name, so that code below the
// windows can ask whether a form class exists.
#pragma once
#include <string>

// Each form registers itself when built and unregisters when destroyed.
void RegisterForm(const void* form, const std::string& className);
void UnregisterForm(const void* form);

// True when a registered form's class name equals `className`: same length,
// letters compared without regard to case.
bool FormClassExists(const std::string& className);
