// SPDX-License-Identifier: GPL-3.0-or-later
// The kind of internet line selects the family of SIP servers, so a new
// choice is saved and takes effect through a new login.
#include <QRadioButton>

#include <exception>

#include "app/main_window.h"
#include "call/call_control.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"

using text::ZH;

void TfrmMain::ConnectLineTypes() {
    // Only the user's clicks: FormCreate marks the stored choice without
    // running these.
    connect(ADSLType_Tel, &QRadioButton::clicked, this, &TfrmMain::ADSLType_TelClick);
    connect(ADSLType_Uni, &QRadioButton::clicked, this, &TfrmMain::ADSLType_UniClick);
    connect(ADSLType_Oth, &QRadioButton::clicked, this, &TfrmMain::ADSLType_OthClick);
}

void TfrmMain::ADSLType_TelClick() { ChangeLineType("tel", "重新登录到针对电信上网优化通话质量的服务器"); }

void TfrmMain::ADSLType_UniClick() { ChangeLineType("uni", "重新登录到针对联通上网优化通话质量的服务器"); }

void TfrmMain::ADSLType_OthClick() {
    ChangeLineType("gmcc", "重新登录高压缩窄带服务器，以便在较慢的网络中也能提供比较流畅的IP通话");
}

void TfrmMain::ChangeLineType(const char* value, const char* notice) {
    if (sADSL_Type == value) return;
    sADSL_Type = value;
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        // The settings file is left as it was; no login on a choice that
        // could not be kept.
        platform::dialogs().ShowMessage(e.what());
        return;
    }
    platform::dialogs().ShowInfoBox(ZH(notice), ZH("Ravelo--系统提示"));
    if (frmCall) frmCall->StartLogin();
}
