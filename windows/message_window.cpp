// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/message_window.h"

#include "core/form_registry.h"

TfrmMessage* frmMessage = nullptr;

TfrmMessage::TfrmMessage(QWidget* parent) : QWidget(parent) { RegisterForm(this, "TfrmMessage"); }

TfrmMessage::~TfrmMessage() { UnregisterForm(this); }
