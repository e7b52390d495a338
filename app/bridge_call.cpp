// SPDX-License-Identifier: GPL-3.0-or-later
// A bridge call: the service's switch rings the subscriber's own telephone
// and connects it to the called number. The client only orders it with one
// request and shows the service's answer as it comes.
#include <QComboBox>
#include <QLabel>

#include "app/main_window.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_time.h"

using text::Ansi;
using text::ZH;

void TfrmMain::spbBridgeCallClick() {
    const Ansi called = text::Trim(AnsiFromQ(PhoneNum->currentText()));
    if (called.empty() || called == ZH("输入要拨的号码")) {
        platform::dialogs().ShowWarningMessage(ZH("请填写被叫号码再拨打！"));
        return;
    }
    if (!platform::dialogs().AskYesNo(ZH("将要为您 ") + Account + ZH(" 和 ") + called +
                                          ZH(" 创建通话。\n\n请保持电话在空闲状态，等待服务器来电。确定吗？"),
                                      ZH("系统提示"))) {
        StatusPanel1->setText(QFromAnsi(LongTimeText() + ZH(" 取消了本次桥接通话。")));
        return;
    }
    // Any failure ends the order silently; the panel keeps its progress text.
    try {
        StatusPanel1->setText(QFromAnsi(ZH("正在提交数据...")));
        NMHTTP_WebCall.TimeOut = 5000;
        NMHTTP_WebCall.InputFileMode = false;
        NMHTTP_WebCall.OutputFileMode = false;
        NMHTTP_WebCall.ReportLevel = 2;
        const Ansi address = WebServer + "user/make_call.php?v=" + ClientVersion +
                             "&f=client&op=call&Caller=" + Account + "&Pwd=" + Md5Pwd +
                             "&Called=" + text::Trim(AnsiFromQ(PhoneNum->currentText())) + "&Call_Key=bridgecall";
        NMHTTP_WebCall.Get(address);
        const Ansi answer = NMHTTP_WebCall.Body;
        WriteLog(ZH("桥接通话：") + address);
        WriteLog(ZH("服务器响应：") + answer);
        StatusPanel1->setText(QFromAnsi(LongTimeText() + ZH(" 响应：") + answer));
        platform::dialogs().ShowInfoBox(answer, ZH("系统提示"));
    } catch (...) {}
}
