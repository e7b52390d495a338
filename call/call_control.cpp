// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/call_control.h"

#include "core/form_registry.h"

TfrmCall* frmCall = nullptr;

TfrmCall::TfrmCall(QWidget* parent) : QWidget(parent) { RegisterForm(this, "TfrmCall"); }

TfrmCall::~TfrmCall() { UnregisterForm(this); }
