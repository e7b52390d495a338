// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands: call buttons, dial pad, login and menu items,
// and its two small timers.
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include <exception>

#include "app/main_window.h"
#include "call/call_control.h"
#include "core/daily_log.h"
#include "core/form_registry.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_text.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "windows/login_window.h"

using text::ZH;

namespace {
const char* const kPlaceholder = "输入要拨的号码";
}

void TfrmMain::spbAnswerClick() {
    if (frmCall) frmCall->MakeCall(AnsiFromQ(PhoneNum->currentText()));
    KeyboardPanel->show();
}

void TfrmMain::spbHanpCallClick() {
    if (frmCall) frmCall->HangUp();
}

void TfrmMain::spbLoginClick() { ShowLoginWindowAgain(); }
void TfrmMain::N_loginClick() { ShowLoginWindowAgain(); }

void TfrmMain::ShowLoginWindowAgain() {
    if (FormClassExists("TfrmLogin") && frmLogin) frmLogin->CloseLogin();
    // The call control opens the window once the loop delivers this.
    if (frmCall) frmCall->PostNotification(WM_CALL_SHOWLOGIN);
}

void TfrmMain::DialKey(int key) {
    static const char* const chars[12] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
    if (key < 0 || key > 11) return;
    platform::sound().Play("sound\\DTMF" + std::to_string(key) + ".wav", false);
    PhoneNum->setEditText(PhoneNum->currentText() + QString::fromLatin1(chars[key]));
    if (frmCall) frmCall->SendDtmf(chars[key]);
}

void TfrmMain::PhoneNumEnter() {
    if (PhoneNum->currentText() == QString::fromUtf8(kPlaceholder)) PhoneNum->setEditText(QString());
}

void TfrmMain::PhoneNumExit() {
    if (PhoneNum->currentText().isEmpty()) PhoneNum->setEditText(QString::fromUtf8(kPlaceholder));
}

void TfrmMain::RegistClick() {
    platform::shell().Open(WebServer + "user_reg.php?v=" + ClientVersion +
                           "&op=regist&f=client&user_mobile=" + Account + "&pid=" + PID);
}

void TfrmMain::ReflashToggleStateClick() { RefreshTrayState(); }

void TfrmMain::N3Click() {
    try {
        platform::shell().Open(LogFileName());
    } catch (const std::exception& e) {
        platform::dialogs().ShowMessage(ZH("打开日志异常，详细信息是\n") + e.what());
    }
}

void TfrmMain::Save_logTimerTimer() {
    if (LogBufferSize() > 0) FlushLog();
}

void TfrmMain::Timer_billTimer() {
    ++CallSeconds;
    const int minutes = CallSeconds / 60;
    const int seconds = CallSeconds - 60 * minutes;
    StatusPanel0->setText(
        QFromAnsi(ZH("本次通话") + std::to_string(minutes) + ZH("分") + std::to_string(seconds) + ZH("秒")));
}
