// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/call/call_fixture.h"
#include "platform/message_pump.h"
#include "platform/resume.h"
#include "tests/net/loopback_server.h"

using text::ZH;

namespace {

nettest::Script Ok(const std::string& body) { return nettest::Answer("HTTP/1.0 200 OK\r\n\r\n" + body); }

class Login : public CallFixture {};

}  // namespace

TEST_F(Login, CreationLogsNetworkStateAndAutoLoginPostsLogin) {
    Account = "12345";  // 5 bytes: enough to post, too short to log in
    Password = "123456";
    AutoLogin = "1";
    Create();
    EXPECT_TRUE(Logged(ZH("网络状态:Null Remote Address")));
    EXPECT_TRUE(desk.dialogs.shown.empty()) << "nothing happens before the loop runs";
    Drain();
    EXPECT_EQ(login.runs, 0);
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].text, ZH("请输入数字电话号码和密码进行登录！"));
    EXPECT_TRUE(fake_engine::Calls().empty()) << "the engine is not touched";
}

TEST_F(Login, WithoutAutoLoginTheWindowIsShownFilledAndCancelDoesNothing) {
    Account = "13800138000";
    Password = "secret";
    AutoRun = "1";
    Create();
    Drain();
    EXPECT_EQ(login.runs, 1);
    EXPECT_EQ(login.shownAccount, "13800138000");
    EXPECT_EQ(login.shownPassword, "secret");
    EXPECT_FALSE(login.shownAutoLogin);
    EXPECT_TRUE(login.shownAutoRun);
    EXPECT_EQ(LogBufferSize(), 1u) << "only the creation line; a cancel logs nothing";
    EXPECT_EQ(StatusTip, ZH("未登录"));
    EXPECT_TRUE(fake_engine::Calls().empty());
}

TEST_F(Login, FullSequenceInOrder) {
    nettest::LoopbackServer server({Ok("127.0.0.9:5070#udes#md5tok")});
    SetDiscoveryHost("127.0.0.1:" + std::to_string(server.Port()));
    fake_engine::SetDevices({"Speaker A", "Speaker B"}, {"Mic"});
    Account = "13800138000";
    Password = "secret";
    PID = "p1";
    sADSL_Type = "uni";
    AutoLogin = "1";
    Create();
    Drain();

    const std::vector<std::string> expectedStart = {"SphSipSetRegStatsCalllBack",
                                                    "SphSipSetCallStatsCalllBack",
                                                    "SphSipSetAudioStatsCalllBack",
                                                    "SphSipSetIncomingCalllBack",
                                                    "SphSipRecvMessageCalllBack",
                                                    "SphSipInfo",
                                                    "SphSetAudioCode",
                                                    "SphSipReg"};
    auto fns = CalledFunctions();
    ASSERT_GE(fns.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(fns.begin(), fns.begin() + 8), expectedStart);
    EXPECT_EQ(fake_engine::CallsOf("SphSipInfo")[0].args, std::vector<std::string>{"0"});
    EXPECT_EQ(fake_engine::CallsOf("SphSetAudioCode")[0].args,
              (std::vector<std::string>{"ILBC/8000", "SPEEX/8000", "G729/8000", "GSM/8000", "PCMA/8000", "G722/8000"}));
    EXPECT_EQ(fake_engine::CallsOf("SphSipReg")[0].args,
              (std::vector<std::string>{"127.0.0.9:5070", "13800138000", "secret", "13800138000"}));

    ASSERT_EQ(form->SoundOutput->count(), 2);
    EXPECT_EQ(form->SoundOutput->itemText(1), "Speaker B");
    ASSERT_EQ(form->SoundInPut->count(), 1);

    ASSERT_FALSE(main.panels.empty());
    EXPECT_EQ(main.panels[0], std::make_pair(0, ZH("SIP服务器：") + "127.0.0.9:5070"));
    const text::Ansi url =
        "http://127.0.0.9:8080/action_client.php?net=uni&u_des=udes&op=go&logintype=1&f=webclient&v=1.3&u=13800138000"
        "&pid=p1&md5_pwd=md5tok";
    ASSERT_EQ(main.urls.size(), 1u);
    EXPECT_EQ(main.urls[0], url);
    EXPECT_TRUE(Logged(ZH("登录到主控页面") + url));
    EXPECT_TRUE(Logged(ZH("正在登录,用户[13800138000]")));
    EXPECT_TRUE(Logged(ZH("语音编码优先级：ILBC/8000,SPEEX/8000,G729/8000,GSM/8000,PCMA/8000,G722/8000")));
    EXPECT_EQ(StatusTip, ZH("  正在连接服务器..."));
    ASSERT_EQ(desk.sound.played.size(), 1u);
    EXPECT_EQ(desk.sound.played[0].path, "sound\\login.wav");
    EXPECT_EQ(server.Requests().size(), 1u) << "tokens came with the first answer";
    EXPECT_EQ(Call_Status, -1) << "the outcome comes from the engine later";
}

TEST_F(Login, DebugSipSrvSkipsFirstDiscoveryAndSecondReplacesServers) {
    nettest::LoopbackServer server({Ok("10.0.0.7:5060#udes#md5tok")});
    SetDiscoveryHost("127.0.0.1:" + std::to_string(server.Port()));
    Account = "13800138000";
    Password = "secret";
    AutoLogin = "1";
    DebugSipSrv = "192.0.2.1:5999";
    Create();
    Drain();
    ASSERT_EQ(fake_engine::CallsOf("SphSipReg").size(), 1u);
    EXPECT_EQ(fake_engine::CallsOf("SphSipReg")[0].args[0], "192.0.2.1:5999");
    EXPECT_EQ(server.Requests().size(), 1u) << "only the token discovery after registration";
    EXPECT_EQ(SipServer, "10.0.0.7:5060");
    EXPECT_EQ(WebServer, "http://10.0.0.7:8080/");
    EXPECT_TRUE(Logged(ZH("加密用户信息为空，重新获取：10.0.0.7:5060")));
    ASSERT_EQ(main.urls.size(), 1u);
    EXPECT_EQ(main.urls[0].rfind("http://10.0.0.7:8080/action_client.php?", 0), 0u);
}

// The end of a sleep: the last login's registration once more, but none
// before a login, and none for a refused account (each refusal is a dialog).
TEST_F(Login, ResumeRegistersAgainUnlessRefused) {
    nettest::LoopbackServer server({Ok("10.0.0.7:5060#udes#md5tok")});
    SetDiscoveryHost("127.0.0.1:" + std::to_string(server.Port()));
    Account = "13800138000";
    Password = "secret";
    Create();
    Drain();
    platform::NotifyResumed();
    EXPECT_TRUE(fake_engine::CallsOf("SphSipReg").empty()) << "no login yet";

    AutoLogin = "1";
    DebugSipSrv = "192.0.2.1:5999";
    form->PostNotification(WM_CALL_LOGIN);
    Drain();
    ASSERT_EQ(fake_engine::CallsOf("SphSipReg").size(), 1u);
    const struct {
        int status;
        std::size_t registrations;  // after the resume
    } rows[] = {{401, 1}, {403, 1}, {404, 1}, {200, 2}, {408, 3}, {200, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.status);
        ASSERT_TRUE(fake_engine::FireReg(row.status));
        Drain();
        platform::NotifyResumed();
        const auto regs = fake_engine::CallsOf("SphSipReg");
        ASSERT_EQ(regs.size(), row.registrations);
        EXPECT_EQ(regs.back().args,
                  (std::vector<std::string>{"192.0.2.1:5999", "13800138000", "secret", "13800138000"}));
    }
    int woke = 0;
    for (const text::Ansi& l : LogBufferLines()) woke += l.find(ZH("系统已唤醒，重新注册")) != text::Ansi::npos;
    EXPECT_EQ(woke, 3) << "one log line each";
}

TEST_F(Login, LoginAskedForDuringAnotherRunsAfterIt) {
    // Discovery answers slowly; the loop it keeps running meanwhile handles a
    // second and a third login (the line type switched, the login command).
    const std::string answer = "HTTP/1.0 200 OK\r\n\r\n127.0.0.9:5070#udes#md5tok";
    nettest::LoopbackServer server(
        {nettest::SlowAnswer("", 300, answer), nettest::SlowAnswer("", 300, answer), Ok("unused")});
    SetDiscoveryHost("127.0.0.1:" + std::to_string(server.Port()));
    platform::SetMessagePump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
    struct Unpump {
        ~Unpump() { platform::SetMessagePump(nullptr); }
    } unpump;
    Account = "13800138000";
    Password = "secret";
    AutoLogin = "1";
    Create();
    form->PostNotification(WM_CALL_LOGIN);
    form->PostNotification(WM_CALL_LOGIN);
    Drain();
    EXPECT_EQ(server.Requests().size(), 2u) << "one login at a time, and one waiting";
    const auto regs = fake_engine::CallsOf("SphSipReg");
    ASSERT_EQ(regs.size(), 2u);
    for (const auto& r : regs) EXPECT_EQ(r.args[0], "127.0.0.9:5070") << "neither fell back to the default server";
}

TEST_F(Login, AcceptedLoginWindowPostsLoginWithTheNewAccount) {
    SetDiscoveryHost("127.0.0.1:" + std::to_string(nettest::UnusedPort()));
    login.accept = true;
    login.onAccept = [] {
        Account = "13900000000";
        Password = "newpass";
    };
    Create();
    Drain();
    EXPECT_EQ(login.runs, 1);
    EXPECT_TRUE(Logged(ZH("重新登录。用户输入的帐号是:13900000000")));
    ASSERT_EQ(fake_engine::CallsOf("SphSipReg").size(), 1u);
    EXPECT_EQ(fake_engine::CallsOf("SphSipReg")[0].args[0], service::kDefaultSipServer)
        << "a failed discovery falls back to the default server";
}

TEST_F(Login, TextsTooLongForTheEngineAreRefusedNotCut) {
    SetDiscoveryHost("127.0.0.1:" + std::to_string(nettest::UnusedPort()));
    Account = "13800138000";
    Password = std::string(52, 'p');
    AutoLogin = "1";
    Create();
    Drain();
    EXPECT_TRUE(fake_engine::CallsOf("SphSipReg").empty());
    ASSERT_FALSE(desk.dialogs.shown.empty());
    EXPECT_EQ(desk.dialogs.shown.back().kind, "warning");
    EXPECT_TRUE(main.urls.empty());

    fake_engine::Reset();
    Password = std::string(51, 'p');
    form->DoLogin();
    EXPECT_EQ(fake_engine::CallsOf("SphSipReg").size(), 1u) << "51 bytes still fit";
}

TEST_F(Login, EngineWithoutDevicesLeavesTheListsAlone) {
    SetDiscoveryHost("127.0.0.1:" + std::to_string(nettest::UnusedPort()));
    Create();
    Drain();
    Account = "13800138000";
    Password = "secret";
    form->SoundOutput->addItem("earlier");
    form->DoLogin();
    EXPECT_EQ(form->SoundOutput->count(), 1);
    EXPECT_EQ(form->SoundOutput->itemText(0), "earlier");
    // Calls will be silent: one log line says so, however often one logs in.
    form->DoLogin();
    int lines = 0;
    for (const text::Ansi& l : LogBufferLines())
        lines += l.find(ZH("没有找到放音和录音设备，通话将没有声音")) != text::Ansi::npos;
    EXPECT_EQ(lines, 1);
}
