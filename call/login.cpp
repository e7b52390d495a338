// SPDX-License-Identifier: GPL-3.0-or-later
// The login sequence: decide at start, ask for credentials, register.
#include "call/call_control.h"
#include "call/early_login.h"
#include "call/engine_events.h"
#include "zent_softphone.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "core/form_registry.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/startup_timing.h"
#include "platform/sound.h"

using text::ZH;

namespace {

// The engine takes the server, account and password through 52-byte buffers.
constexpr std::size_t kEngineText = 51;

// Replaces a device list's items when the engine offers devices; an engine
// without devices leaves the list as it was. True when it offered some.
template <class Count, class Name>
bool FillDevices(QComboBox* list, Count count, Name name) {
    if (count() < 1) return false;
    list->clear();
    for (int i = 1; i <= count(); ++i) {
        const char* n = name(i);
        list->addItem(QFromAnsi(n ? n : ""));
    }
    return true;
}

}  // namespace

bool LoginStartsAtOnce(const text::Ansi& account, const text::Ansi& password, const text::Ansi& autoLogin) {
    return account.size() > 4 && password.size() > 5 && autoLogin == "1";
}

bool LoginHasCredentials(const text::Ansi& account, const text::Ansi& password) {
    return account.size() >= 6 && !password.empty();
}

bool FitsEngine(const text::Ansi& server, const text::Ansi& account, const text::Ansi& password) {
    return server.size() <= kEngineText && account.size() <= kEngineText && password.size() <= kEngineText;
}

void PrepareEngineForLogin() {
    SphSipSetRegStatsCalllBack(RegStatsCallback);
    SphSipSetCallStatsCalllBack(CallStatsCallback);
    SphSipSetAudioStatsCalllBack(AudioStatsCallback);
    SphSipSetIncomingCalllBack(IncomingCallback);
    SphSipRecvMessageCalllBack(RecvMessageCallback);
    SphSipInfo(0);
    SphSetAudioCode("ILBC/8000", "SPEEX/8000", "G729/8000", "GSM/8000", "PCMA/8000", "G722/8000");
}

void TfrmCall::StartLogin() {
    if (LoginStartsAtOnce(Account, Password, AutoLogin)) {
        PostNotification(WM_CALL_LOGIN);
        return;
    }
    if (FormClassExists("TfrmLogin"))
        if (LoginWindowPort* login = loginWindowPort()) login->CloseLogin();
    PostNotification(WM_CALL_SHOWLOGIN);
}

// Asleep, the machine's clocks stood still: the registration may have run
// out at the server and the router forgotten the way back before the engine's
// refresh is due. A refused account is not offered again (a new refusal
// would come up as another dialog).
void TfrmCall::RegisterAgain() {
    if (!registerAsked_ || engineDestroyed_ || RegistrationRefused()) return;
    WriteLog(ZH("系统已唤醒，重新注册"));
    SphSipReg(registeredServer_.c_str(), Account.c_str(), Password.c_str(), Account.c_str());
}

void TfrmCall::ShowLogin() {
    LoginWindowPort* login = loginWindowPort();
    if (!login) return;
    if (!login->RunLogin(Account, Password, AutoLogin == "1", AutoRun == "1")) return;
    PostNotification(WM_CALL_LOGIN);
    WriteLog(ZH("重新登录。用户输入的帐号是:") + Account);
    StatusTip = ZH(" 登录中...");
}

void TfrmCall::DoLogin() {
    platform::MarkStartup("login started");
    // Discovery keeps the message loop running while it waits, so a login
    // asked for meanwhile (the line type switched, the login command) would
    // run inside this one: its request would cancel ours and be refused
    // itself, and both would register with the default server. It runs after
    // this one ends instead, once however often it was asked.
    if (loginRunning_) {
        loginWaiting_ = true;
        return;
    }
    loginRunning_ = true;
    struct Finish {
        TfrmCall* form;
        ~Finish() {
            ReleaseEngineEvents();  // whichever way the login ended
            form->loginRunning_ = false;
            if (form->loginWaiting_) {
                form->loginWaiting_ = false;
                form->PostNotification(WM_CALL_LOGIN);
            }
        }
    } finish{this};
    LoginSequence();
}

void TfrmCall::LoginSequence() {
    if (!LoginHasCredentials(Account, Password)) {
        platform::dialogs().ShowMessage(ZH("请输入数字电话号码和密码进行登录！"));
        return;
    }
    SipServer = DebugSipSrv.empty() ? GetSipServer() : DebugSipSrv;
    platform::MarkStartup("sip server known");

    MainWindowPort* main = mainWindowPort();
    if (main) main->SetStatusPanel(0, ZH("SIP服务器：") + SipServer);
    WriteLog(ZH("获取软交换地址：") + SipServer);
    StatusTip = ZH("  正在连接服务器...");
    WriteLog(ZH("正在登录,用户[") + Account + "]");

    PrepareEngineForLogin();
    WriteLog(ZH("语音编码优先级：ILBC/8000,SPEEX/8000,G729/8000,GSM/8000,PCMA/8000,G722/8000"));

    // Cutting a text to fit would register somewhere or someone else: refuse.
    if (!FitsEngine(SipServer, Account, Password)) {
        WriteLog(ZH("SIP服务器、帐号或密码超过51字节，未登录"));
        platform::dialogs().ShowWarningBox(ZH("SIP服务器地址、帐号或密码太长（不能超过51个字节），无法登录。"),
                                           ZH("系统提示"));
        return;
    }
    // The program's first login may have registered already, as it started.
    if (!TakeEarlyRegistration(SipServer, Account, Password)) {
        platform::MarkStartup("registration asked");
        SphSipReg(SipServer.c_str(), Account.c_str(), Password.c_str(), Account.c_str());
    }
    ReleaseEngineEvents();
    registerAsked_ = true;
    registeredServer_ = SipServer;

    const bool playback = FillDevices(SoundOutput, SphSipGetPlayDeviceCount, SphSipGetPlayDeviceName);
    const bool capture = FillDevices(SoundInPut, SphSipGetRecvDeviceCount, SphSipGetRecvDeviceName);
    if (!(playback && capture) && !silenceLogged_) {
        silenceLogged_ = true;
        WriteLog(ZH("没有找到放音和录音设备，通话将没有声音"));
    }

    if (UserDes.empty() || Md5Pwd.empty()) WriteLog(ZH("加密用户信息为空，重新获取：") + GetSipServer());

    const text::Ansi url = WebServer + "action_client.php?net=" + sADSL_Type + "&u_des=" + UserDes +
                           "&op=go&logintype=1&f=webclient&v=" + ClientVersion + "&u=" + Account + "&pid=" + PID +
                           "&md5_pwd=" + Md5Pwd;
    if (main) main->OpenWebPage(url);
    WriteLog(ZH("登录到主控页面") + url);
    platform::sound().Play("sound\\login.wav", false);
}
