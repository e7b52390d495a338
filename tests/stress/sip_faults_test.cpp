// SPDX-License-Identifier: GPL-3.0-or-later
// SIP faults through the whole client: callers that give up or break the
// rules, a busy peer, strange text messages, refusing and silent registrars.
// After each: no crash, a legal line state, a clear log line, and nothing
// shown that is not true.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "app/main_window.h"
#include "core/msg_queue.h"
#include "core/shared_state.h"
#include "platform/qt/qt_text.h"
#include "tests/stress/stress_fixture.h"
#include "windows/message_window.h"
#include "windows/message_windows.h"

using text::ZH;

namespace {

constexpr const char* kCaller = "sip:8610086110009@127.0.0.1";

// The answer question of an incoming call, left open the way a person leaves
// it while thinking: the GUI runs on until `until` holds (or 15 s pass), then
// the question is answered.
class SlowAnswer : public fakes::Dialogs {
public:
    std::function<bool()> until = [] { return false; };
    bool answer = true;
    int questionsOpen = 0;
    bool AskYesNo(const std::string& t, const std::string& c) override {
        shown.push_back({"question", t, c});
        ++questionsOpen;
        StressTestPump(until);
        --questionsOpen;
        return answer;
    }
    static inline std::function<void(const std::function<bool()>&)> StressTestPump;
};

class SipFaults : public StressTest {
protected:
    void StartRegistered() {
        ASSERT_NO_FATAL_FAILURE(StartStandin());
        StartClient();
        ASSERT_TRUE(WaitIdleShown(30000)) << "never registered; StatusTip " << StatusTip;
    }
    void UseSlowAnswer() {
        SlowAnswer::StressTestPump = [](const std::function<bool()>& until) { PumpUntil(until, 15000); };
        platform::SetDialogs(&slow_);
    }
    void TearDown() override {
        StressTest::TearDown();
        platform::SetDialogs(&desk_.dialogs);
    }
    static std::string TipsShown() { return frmMain->Tips->text().toStdString(); }

    SlowAnswer slow_;
};

}  // namespace

TEST_F(SipFaults, CallerCancelsWhileTheAnswerQuestionIsOpen) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    UseSlowAnswer();
    // The question stays open until the caller's CANCEL has ended the line.
    slow_.until = [] { return Call_Status == 0; };
    SippPeer* caller = Sipp("stress/scenarios/uac_cancel_while_ringing.xml", 15310,
                            "127.0.0.1:" + std::to_string(kEnginePort), 1, {"-s", kAccount});
    ASSERT_TRUE(caller);
    ASSERT_TRUE(PumpUntil([&] { return !slow_.shown.empty(); }, 10000)) << "no question asked";
    EXPECT_EQ(slow_.shown[0].text, ZH("来电号码：") + kCaller + "\n\n" + ZH("接听吗？"));
    ASSERT_TRUE(PumpUntil([&] { return slow_.questionsOpen == 0; }, 20000));
    EXPECT_TRUE(PumpUntilFinished({caller}, 10000));
    EXPECT_EQ(caller->Wait(std::chrono::milliseconds(0)), 0) << caller->Messages();

    // The Yes went to the ended line: nothing follows, the ring is over.
    EXPECT_TRUE(WaitIdleShown(5000)) << TipsShown();
    EXPECT_TRUE(Logged(ZH("线路:") + std::to_string(InCallId) + " callend"));
    EXPECT_FALSE(Logged(" answerstr"));
    // The hang-up tone takes the ring's place: nothing loops on.
    EXPECT_EQ(desk_.sound.played.back().path, "sound\\hangup.wav");
    EXPECT_FALSE(desk_.sound.played.back().loop);
}

TEST_F(SipFaults, CallerSendsByeWhileRinging) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    UseSlowAnswer();
    slow_.until = [] { return Call_Status == 0; };
    SippPeer* caller = Sipp("stress/scenarios/uac_bye_while_ringing.xml", 15314,
                            "127.0.0.1:" + std::to_string(kEnginePort), 1, {"-s", kAccount});
    ASSERT_TRUE(caller);
    ASSERT_TRUE(PumpUntilFinished({caller}, 20000)) << caller->Messages();
    ASSERT_TRUE(PumpUntil([&] { return slow_.questionsOpen == 0; }, 20000));
    EXPECT_TRUE(WaitIdleShown(5000)) << TipsShown() << caller->Messages();
    EXPECT_TRUE(Logged(ZH("线路:") + std::to_string(InCallId) + " callend"));
    EXPECT_FALSE(Logged(" answerstr"));
}

TEST_F(SipFaults, BusyPeerEndsTheCallBackToIdle) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    frmMain->PhoneNum->setCurrentText("10086110486");
    frmMain->spbAnswer->click();
    const int line = OutCallId;
    ASSERT_GE(line, 0);
    ASSERT_TRUE(PumpUntil([&] { return Logged(ZH("线路:") + std::to_string(line) + " callend"); }, 15000));
    EXPECT_TRUE(WaitIdleShown(5000)) << TipsShown();
    EXPECT_FALSE(Logged(" callanswer")) << "a busy line is never shown as connected";
    EXPECT_FALSE(frmMain->Timer_bill->isActive());
}

TEST_F(SipFaults, StrangeMessagesAreAnsweredAndShownAsTheyCame) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    auto message = [](const std::string& from, const std::string& headers, const std::string& body) {
        static int n = 0;
        const std::string id = std::to_string(++n);
        return "MESSAGE sip:86" + std::string(kAccount) + "@127.0.0.1:" + std::to_string(kEnginePort) +
               " SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:[port];branch=z9hG4bKodd" + id +
               "\r\nMax-Forwards: 70\r\nFrom: " + from + ";tag=odd" + id + "\r\nTo: <sip:86" + kAccount +
               "@127.0.0.1>\r\nCall-ID: odd" + id + "@127.0.0.1\r\nCSeq: 1 MESSAGE\r\n" + headers +
               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const std::string plain = "Content-Type: text/plain;charset=UTF-8\r\n";
    // As big as one datagram carries; the queue's record keeps 1025 bytes of it.
    const std::string big(64600, 'x');
    const struct Case {
        const char* what;
        std::string request;
        const char* answer;    // status line the sender gets, up to the reason
        const char* sender;    // the sender as the window names it (UTF-8); null: nothing reaches the client
        std::string text;      // the text as the window shows it
        bool dropped = false;  // no number to show it with or answer: logged and dropped
    } cases[] = {
        // Without a body there is no content type: the stack refuses it.
        {"no body", message("<sip:8613900139001@127.0.0.1>", "", ""), "SIP/2.0 500", nullptr, ""},
        // Each byte that is no UTF-8 becomes one "?".
        {"not UTF-8", message("<sip:8613900139002@127.0.0.1>", plain, "abc\xff\xfe\xc0 end"), "SIP/2.0 200",
         "13900139002 说：", " abc??? end"},
        {"64 KiB", message("<sip:8613900139003@127.0.0.1>", plain, big), "SIP/2.0 200", "13900139003 说：",
         " " + big.substr(0, 1025) + "\n"},
        {"display name", message("\"张三\" <sip:8613900139004@127.0.0.1>", plain, "named"), "SIP/2.0 200",
         "13900139004 说：", " named"},
        // No number to show it with or to answer: answered, logged, dropped.
        {"no user part", message("<sip:127.0.0.1>", plain, "host only"), "SIP/2.0 200", "sip:127.0.0.1", " host only",
         true},
        {"tel URI", message("<tel:+8613900139006>", plain, "telephone"), "SIP/2.0 200", "tel:+8613900139006",
         " telephone", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string status = SendRaw(c.request);
        EXPECT_EQ(status.rfind(c.answer, 0), 0u) << status;
        std::printf("strange message (%s): %s\n", c.what, status.c_str());
    }
    EXPECT_TRUE(PumpUntil([] { return MsgQueue.Empty(); }, 5000)) << "a message blocks the queue";
    PumpUntil([] { return false; }, 500);

    std::string shown;  // every conversation on the screen
    for (TfrmMessage* w : MessageWindows()) shown += w->HistoryMsg->toPlainText().toStdString() + "\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.sender) continue;
        if (c.dropped) {
            EXPECT_EQ(shown.find(c.text), std::string::npos);
            EXPECT_TRUE(Logged(ZH("ReceiveMsg 发送者没有可用的号码，丢弃短信，来自:") + c.sender));
            continue;
        }
        EXPECT_NE(shown.find(std::string(c.sender) + "\n" + c.text), std::string::npos) << shown.substr(0, 300);
        EXPECT_TRUE(Logged(ZH("ReceiveMsg SIP短信，来自:"))) << "the receipt is logged";
    }
    EXPECT_EQ(shown.find("13900139001"), std::string::npos) << "a refused message is not shown";
    EXPECT_TRUE(WaitIdleShown(5000)) << TipsShown();
}

namespace {

// The REGISTER requests a sipp registrar has received so far.
int Registers(SippPeer* registrar) {
    const std::string trace = registrar->Messages();
    int n = 0;
    for (auto at = trace.find("\nREGISTER sip:"); at != std::string::npos; at = trace.find("\nREGISTER sip:", at + 1))
        ++n;
    return n;
}

// The engine tries a failed registration again after this long (the SIP
// stack's refresher, 60 s); a refusal must outlast it without a retry.
constexpr int kRetryPeriodMs = 60000;

struct Refusal {
    const char* scenario;
    const char* tip;  // StatusTip, UTF-8
};

class Refusals : public SipFaults, public ::testing::WithParamInterface<Refusal> {};

}  // namespace

TEST_P(Refusals, AreShownOnceAndNeverRetried) {
    const Refusal& r = GetParam();
    SippPeer* registrar = Sipp(std::string("engine/scenarios/") + r.scenario, 15320, {}, 0, {"-timeout", "300s"});
    ASSERT_TRUE(registrar);
    StartClient("127.0.0.1:15320");
    const text::Ansi box = ZH(r.tip) + ZH(" 登录失败！");
    auto boxes = [&] {
        int n = 0;
        for (const auto& d : desk_.dialogs.shown) n += d.kind == "warning-message" && d.text == box;
        return n;
    };
    ASSERT_TRUE(PumpUntil([&] { return boxes() == 1; }, 30000)) << "no refusal shown; StatusTip " << StatusTip;
    EXPECT_TRUE(Logged(ZH(r.tip)));
    const int tried = Registers(registrar);

    // Longer than the engine's retry period: nothing more may happen.
    PumpUntil([] { return false; }, kRetryPeriodMs + 10000);
    EXPECT_EQ(Registers(registrar), tried) << "the refused account was tried again";
    EXPECT_EQ(boxes(), 1);
    EXPECT_EQ(Call_Status, -1);
    EXPECT_EQ(frmMain->Tips->text(), QFromAnsi(ZH(" 未登录")));
}

INSTANTIATE_TEST_SUITE_P(Stress, Refusals,
                         ::testing::Values(Refusal{"reg_401_forever.xml", "401密码错误!"},
                                           Refusal{"reg_403.xml", "403密码错误!"},
                                           Refusal{"reg_404.xml", "没有找到账号!"}),
                         [](const ::testing::TestParamInfo<Refusal>& i) {
                             return std::string(i.param.scenario).substr(4, 3);
                         });

TEST_F(SipFaults, RegistrarFallsSilentAndComesBack) {
    // A registrar that grants five seconds at a time, so refreshes come often.
    auto registrar = std::make_unique<SippPeer>("stress/scenarios/reg_short_expiry.xml", 15330, "", 0,
                                                std::vector<std::string>{"-timeout", "300s"});
    ASSERT_TRUE(registrar->Start());
    StartClient("127.0.0.1:15330");
    ASSERT_TRUE(WaitIdleShown(30000)) << "never registered; StatusTip " << StatusTip;

    // It falls silent: the port still takes datagrams and answers none.
    registrar.reset();
    const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(15330);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    auto registerArrived = [silent] {
        char buf[4096];
        bool any = false;
        for (ssize_t n; (n = recv(silent, buf, sizeof buf, 0)) > 0;)
            any = any || std::string(buf, static_cast<std::size_t>(n)).rfind("REGISTER ", 0) == 0;
        return any;
    };
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(PumpUntil([] { return Call_Status == -1; }, 60000)) << "the silence went unnoticed";
    const qint64 noticed = clock.elapsed();
    EXPECT_TRUE(Logged(ZH("连接软交换超时!")));
    EXPECT_TRUE(PumpUntil([] { return frmMain->Tips->text() == QFromAnsi(ZH(" 未登录")); }, 2000));
    EXPECT_TRUE(desk_.dialogs.shown.size() <= 1) << "a silent server is not a refusal";

    // The engine tries again by itself; how soon is its retry period.
    registerArrived();  // what came before the failure
    clock.restart();
    ASSERT_TRUE(PumpUntil(registerArrived, kRetryPeriodMs + 10000)) << "never tried again";
    const qint64 retried = clock.elapsed();

    // It answers again: registered by the next attempt, nobody touches the client.
    close(silent);
    clock.restart();
    registrar = std::make_unique<SippPeer>("stress/scenarios/reg_short_expiry.xml", 15330, "", 0,
                                           std::vector<std::string>{"-timeout", "300s"});
    ASSERT_TRUE(registrar->Start());
    ASSERT_TRUE(WaitIdleShown(kRetryPeriodMs + 20000)) << "not registered again; StatusTip " << StatusTip;
    std::printf(
        "registrar silent: noticed after %lld ms, tried again %lld ms after that, registered again %lld ms "
        "after it answered\n",
        static_cast<long long>(noticed), static_cast<long long>(retried), static_cast<long long>(clock.elapsed()));
}
