// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "core/form_registry.h"

TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) { RegisterForm(this, "TfrmMain"); }

TfrmMain::~TfrmMain() { UnregisterForm(this); }
