// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/call_control.h"

#include <QCoreApplication>

#include "call/early_login.h"
#include "call/engine_events.h"
#include "zent_softphone.h"
#include "core/daily_log.h"
#include "core/form_registry.h"
#include "core/shared_state.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_text.h"
#include "platform/resume.h"

using text::ZH;

TfrmCall* frmCall = nullptr;

TfrmCall::TfrmCall(QWidget* parent) : QWidget(parent) {
    RegisterForm(this, "TfrmCall");
    setWindowTitle(QFromAnsi(ZH("呼叫控制")));
    resize(353, 480);
    setFont(QFont(UiFontFamily()));

    SoundDevice = new QGroupBox(QFromAnsi(ZH("声音设备")), this);
    SoundDevice->setGeometry(24, 288, 249, 113);
    SoundInPut = new QComboBox(SoundDevice);
    SoundInPut->setEditable(true);
    SoundInPut->setEditText("SoundInPut");
    SoundInPut->setGeometry(88, 28, 145, 22);
    SoundOutput = new QComboBox(SoundDevice);
    SoundOutput->setEditable(true);
    SoundOutput->setEditText("SoundOutput");
    SoundOutput->setGeometry(88, 76, 145, 22);
    Label1 = new QLabel(QFromAnsi(ZH("输入")), SoundDevice);
    Label1->setGeometry(24, 32, 60, 16);
    Label2 = new QLabel(QFromAnsi(ZH("输出")), SoundDevice);
    Label2->setGeometry(24, 80, 60, 16);

    // The form's creation handler: the network state, then the login decision.
    WriteLog(ZH("网络状态:") + Net_Status);
    frmCall = this;
    SetGuiTaskTarget(this);
    platform::SetResumeHandler([this] { RegisterAgain(); });
    StartLogin();
}

TfrmCall::~TfrmCall() {
    platform::SetResumeHandler({});
    SetGuiTaskTarget(nullptr);  // the engine's last events have no form to go to
    DestroyEngine();
    UnregisterForm(this);
    if (frmCall == this) frmCall = nullptr;
}

void TfrmCall::PostNotification(int message) {
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(message)));
}

bool TfrmCall::event(QEvent* e) {
    switch (static_cast<int>(e->type())) {
    case WM_CALL_LOGIN: DoLogin(); return true;
    case WM_CALL_INCOMING: AskAnswer(); return true;
    case WM_CALL_SHOWLOGIN: ShowLogin(); return true;
    case WM_CALL_MESSAGE: ReceiveMsg(); return true;
    default: return QWidget::event(e);
    }
}

void TfrmCall::DestroyEngine() {
    // The engine is shut down once; the exit command and the form's end both ask.
    if (engineDestroyed_) return;
    engineDestroyed_ = true;
    EndEarlyLogin();
    SphSipDestory();
}
