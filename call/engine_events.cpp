// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/engine_events.h"

#include <QCoreApplication>
#include <string>

#include "call/call_control.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "core/msg_queue.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/startup_timing.h"
#include "platform/sound.h"

using text::ZH;

void RunOnGuiThread(std::function<void()> task) {
    if (!frmCall) return;  // the form is gone: the program is ending
    QCoreApplication::postEvent(frmCall, new GuiTaskEvent(std::move(task)));
}

namespace {
// The engine's texts live only during the callback: copy them first.
std::string Copy(const char* s) { return s ? std::string(s) : std::string(); }
}  // namespace

void ApplyRegStatus(int status) {
    bool dialog = false;
    switch (status) {
    case 200:
        if (Call_Status < 0) Call_Status = 0;
        StatusTip = ZH("登录成功!");
        break;
    case 201:
        Call_Status = -1;
        StatusTip = ZH("已经注销!");
        break;
    case 401:
        Call_Status = -1;
        StatusTip = ZH("401密码错误!");
        dialog = true;
        break;
    case 403:
        Call_Status = -1;
        StatusTip = ZH("403密码错误!");
        dialog = true;
        break;
    case 404:
        Call_Status = -1;
        StatusTip = ZH("没有找到账号!");
        dialog = true;
        break;
    case 408:
        Call_Status = -1;
        StatusTip = ZH("连接软交换超时!");
        break;
    default:
        Call_Status = -1;
        StatusTip = ZH(" 未知含义的状态代码：");
        break;
    }
    if (dialog) platform::dialogs().ShowWarningBox(StatusTip + ZH(" 登录失败！"), ZH("系统提示"));
    WriteLog(StatusTip);
}

void ApplyCallState(int line, const text::Ansi& state) {
    MainWindowPort* main = mainWindowPort();
    if (state == "callend") {
        Call_Status = 0;
        StatusTip = ZH("已挂机");
        CallSeconds = 0;
        if (main) main->StopBillTimer();
        platform::sound().Play("sound\\hangup.wav", false);
    } else if (state == "calling") {
        Call_Status = 1;
        StatusTip = ZH("正在寻址...");
    } else if (state == "callring") {
        Call_Status = 2;
        StatusTip = ZH("正在呼叫...");
    } else if (state == "callanswer") {
        Call_Status = 3;
        if (main) main->SetTips(ZH("呼出通话中..."));
        CallSeconds = 0;
        if (main) main->StartBillTimer();
    } else if (state == "answerstr") {
        Call_Status = 4;
        if (main) main->SetTips(ZH("接听通话中..."));
        CallSeconds = 0;
        if (main) main->StartBillTimer();
    }
    WriteLog(ZH("线路:") + std::to_string(line) + " " + state);
}

void SPH_CALL RegStatsCallback(int status) {
    if (status == 200) platform::MarkStartup("registered");
    RunOnGuiThread([status] { ApplyRegStatus(status); });
}

void SPH_CALL CallStatsCallback(int line, const char* state) {
    RunOnGuiThread([line, s = Copy(state)] { ApplyCallState(line, s); });
}

void SPH_CALL AudioStatsCallback(int outLevel, int inLevel) {
    RunOnGuiThread([outLevel, inLevel] {
        if (MainWindowPort* main = mainWindowPort()) main->SetSoundLevels(outLevel, inLevel);
    });
}

void SPH_CALL IncomingCallback(int line, const char* from) {
    RunOnGuiThread([line, f = Copy(from)] {
        CallDirection = "Call_IN";
        InCallId = line;
        CallInFrom = f;
        Call_Status = 5;
        frmCall->PostNotification(WM_CALL_INCOMING);
    });
}

void SPH_CALL RecvMessageCallback(const char* from, const char* body) {
    RunOnGuiThread([f = Copy(from), b = Copy(body)] {
        MsgFrom = f;
        MsgText = b;
        QueueReceivedMessage(f.c_str(), b.c_str());
        frmCall->PostNotification(WM_CALL_MESSAGE);
    });
}

void TfrmCall::AskAnswer() {
    platform::sound().Play("sound\\ring.wav", true);
    const bool yes =
        platform::dialogs().AskYesNo(ZH("来电号码：") + CallInFrom + "\n\n" + ZH("接听吗？"), ZH("系统提示"));
    try {
        if (yes)
            SphSipAnswer(InCallId);
        else
            SphSipHanpCall(InCallId);
    } catch (const std::exception& e) {
        platform::dialogs().ShowMessage(ZH("来电接听异常，详细信息是") + e.what());
    }
    platform::sound().Stop();
}

void TfrmCall::ReceiveMsg() {
    // The peer's number: the sender's message key without its closing "@".
    const text::Ansi key = MessageKey(MsgFrom);
    const text::Ansi number = key.empty() ? key : key.substr(0, key.size() - 1);
    WriteLog(ZH("ReceiveMsg SIP短信，来自:") + number + ZH(" 消息: ") + MsgText);
    // The message stays queued until the peer's chat window takes it.
    if (MessageWindowsPort* windows = messageWindowsPort()) windows->ShowPeerWindow(number);
}
