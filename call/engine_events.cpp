// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/engine_events.h"

#include <QMetaObject>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

#include "call/call_control.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "core/msg_queue.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/startup_timing.h"
#include "platform/sound.h"

using text::ZH;

namespace {

std::mutex g_tasksMutex;
std::deque<std::function<void()>> g_tasks;
TfrmCall* g_taskTarget = nullptr;
bool g_wakePending = false;  // a wake-up is on its way to the form
bool g_holding = false;      // tasks wait for ReleaseEngineEvents, form or not

// Sender and text of each received message whose WM_CALL_MESSAGE is not
// handled yet (GUI thread only). Messages arriving together would otherwise
// all be handled with MsgFrom and MsgText of the last one.
std::deque<std::pair<text::Ansi, text::Ansi>> g_messageNotices;

// The engine's texts live only during the callback: copy them first.
std::string Copy(const char* s) { return s ? std::string(s) : std::string(); }

// The incoming line whose question is open (-1: none), and whether the
// caller gave up meanwhile.
int g_askingLine = -1;
bool g_askedLineEnded = false;
bool g_refused = false;

// Under g_tasksMutex, so the form cannot go away meanwhile. By name: the
// wake-up is then made inside Qt, not by our code on this thread.
void WakeLocked() {
    if (g_holding || !g_taskTarget || g_wakePending || g_tasks.empty()) return;
    g_wakePending = true;
    QMetaObject::invokeMethod(g_taskTarget, "RunGuiTasks", Qt::QueuedConnection);
}
}  // namespace

bool RegistrationRefused() { return g_refused; }

void RunOnGuiThread(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(g_tasksMutex);
    if (!g_taskTarget && !g_holding) return;  // the form is gone: the program is ending
    g_tasks.push_back(std::move(task));
    WakeLocked();
}

void SetGuiTaskTarget(TfrmCall* form) {
    std::lock_guard<std::mutex> lock(g_tasksMutex);
    g_taskTarget = form;
    g_wakePending = false;
    if (form && g_holding) return;  // the early registration's events stay
    g_holding = false;
    g_tasks.clear();
    g_messageNotices.clear();
    g_refused = false;
}

void HoldEngineEvents() {
    std::lock_guard<std::mutex> lock(g_tasksMutex);
    g_holding = true;
}

void ReleaseEngineEvents() {
    std::lock_guard<std::mutex> lock(g_tasksMutex);
    if (!g_holding) return;
    g_holding = false;
    WakeLocked();
}

void TfrmCall::RunGuiTasks() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(g_tasksMutex);
            // Taken one at a time: a task that opens a dialog runs a nested
            // loop, and the tasks after it must still run in there, in order.
            g_wakePending = false;
            if (g_tasks.empty()) return;
            task = std::move(g_tasks.front());
            g_tasks.pop_front();
        }
        task();
    }
}

void ApplyRegStatus(int status) {
    bool dialog = false;
    switch (status) {
    case 200:
        if (Call_Status < line_state::kIdle) Call_Status = line_state::kIdle;
        StatusTip = ZH("登录成功!");
        break;
    case 201:
        Call_Status = line_state::kLoggedOut;
        StatusTip = ZH("已经注销!");
        break;
    case 401:
        Call_Status = line_state::kLoggedOut;
        StatusTip = ZH("401密码错误!");
        dialog = true;
        break;
    case 403:
        Call_Status = line_state::kLoggedOut;
        StatusTip = ZH("403密码错误!");
        dialog = true;
        break;
    case 404:
        Call_Status = line_state::kLoggedOut;
        StatusTip = ZH("没有找到账号!");
        dialog = true;
        break;
    case 408:
        Call_Status = line_state::kLoggedOut;
        StatusTip = ZH("连接软交换超时!");
        break;
    default:
        Call_Status = line_state::kLoggedOut;
        StatusTip = ZH(" 未知含义的状态代码：");
        break;
    }
    if (status == 200) g_refused = false;
    if (dialog) g_refused = true;
    // The box is modal: events handled while it is open may replace
    // StatusTip, and the log line is about this status.
    const text::Ansi tip = StatusTip;
    if (dialog) platform::dialogs().ShowWarningMessage(tip + ZH(" 登录失败！"));
    WriteLog(tip);
}

void ApplyCallState(int line, const text::Ansi& state) {
    MainWindowPort* main = mainWindowPort();
    if (state == SPH_STATE_CALLEND && LiveCallId >= 0 && line != LiveCallId) {
        // Another line ended (an incoming call declined or given up during a
        // call): the connected call goes on, and so must its state, or it
        // could no longer be hung up.
        Call_Status = LiveCallStatus;
        CallDirection = LiveCallStatus == line_state::kOutConnected ? "Call_Out" : "Call_IN";
        (LiveCallStatus == line_state::kOutConnected ? OutCallId : InCallId) = LiveCallId;
        StatusTip = ZH("已挂机");
        platform::sound().Play("sound\\hangup.wav", false);
    } else if (state == SPH_STATE_CALLEND) {
        LiveCallId = -1;
        Call_Status = line_state::kIdle;
        StatusTip = ZH("已挂机");
        CallSeconds = 0;
        if (main) main->StopBillTimer();
        platform::sound().Play("sound\\hangup.wav", false);
        // A caller who gives up takes the question back: none is left open
        // for a call that no longer exists.
        if (line == g_askingLine) {
            g_askedLineEnded = true;
            platform::dialogs().CloseQuestion();
        }
    } else if (state == SPH_STATE_CALLING) {
        Call_Status = line_state::kCalling;
        StatusTip = ZH("正在寻址...");
    } else if (state == SPH_STATE_CALLRING) {
        Call_Status = line_state::kRinging;
        StatusTip = ZH("正在呼叫...");
    } else if (state == SPH_STATE_CALLANSWER) {
        Call_Status = line_state::kOutConnected;
        LiveCallId = line;
        LiveCallStatus = line_state::kOutConnected;
        if (main) main->SetTips(ZH("呼出通话中..."));
        CallSeconds = 0;
        if (main) main->StartBillTimer();
    } else if (state == SPH_STATE_ANSWERSTR) {
        Call_Status = line_state::kInConnected;
        LiveCallId = line;
        LiveCallStatus = line_state::kInConnected;
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
        Call_Status = line_state::kIncoming;
        frmCall->PostNotification(WM_CALL_INCOMING);
    });
}

void SPH_CALL RecvMessageCallback(const char* from, const char* body) {
    RunOnGuiThread([f = Copy(from), b = Copy(body)] {
        MsgFrom = f;
        MsgText = b;
        QueueReceivedMessage(f.c_str(), b.c_str());
        g_messageNotices.emplace_back(f, b);
        frmCall->PostNotification(WM_CALL_MESSAGE);
    });
}

void TfrmCall::AskAnswer() {
    platform::sound().Play("sound\\ring.wav", true);
    // Another call's question may be open below this one (a nested loop).
    const int outerLine = std::exchange(g_askingLine, InCallId);
    const bool outerEnded = std::exchange(g_askedLineEnded, false);
    const bool yes =
        platform::dialogs().AskYesNo(ZH("来电号码：") + CallInFrom + "\n\n" + ZH("接听吗？"), ZH("系统提示"));
    const bool gaveUp = std::exchange(g_askedLineEnded, outerEnded);
    g_askingLine = outerLine;
    // The call has ended already: nothing to answer or refuse, and the
    // hang-up sound that ended the ring plays on.
    if (gaveUp) return;
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
    // The message this notice is about; MsgFrom and MsgText keep the last one.
    text::Ansi from = MsgFrom, body = MsgText;
    if (!g_messageNotices.empty()) {
        from = g_messageNotices.front().first;
        body = g_messageNotices.front().second;
        g_messageNotices.pop_front();
    }
    // The peer's number: the sender's message key without its closing "@".
    const text::Ansi key = MessageKey(from);
    const text::Ansi number = key.empty() ? key : key.substr(0, key.size() - 1);
    WriteLog(ZH("ReceiveMsg SIP短信，来自:") + number + ZH(" 消息: ") + body);
    // The message stays queued until the peer's chat window takes it.
    if (MessageWindowsPort* windows = messageWindowsPort()) windows->ShowPeerWindow(number);
}
