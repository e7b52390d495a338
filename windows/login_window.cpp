// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/login_window.h"

#include "core/form_registry.h"

TfrmLogin* frmLogin = nullptr;

TfrmLogin::TfrmLogin(QWidget* parent) : QWidget(parent) { RegisterForm(this, "TfrmLogin"); }

TfrmLogin::~TfrmLogin() { UnregisterForm(this); }
