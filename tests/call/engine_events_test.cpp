// SPDX-License-Identifier: GPL-3.0-or-later
#include <QThread>

#include <thread>

#include "call/engine_events.h"
#include "core/msg_queue.h"
#include "tests/call/call_fixture.h"

using text::ZH;

namespace {

class Events : public CallFixture {
protected:
    void SetUp() override {
        CallFixture::SetUp();
        Create();
        Drain();
        ClearLogBuffer();
        desk.dialogs.shown.clear();
    }
    // Fires from the engine's side and lets the GUI thread run the effects.
    static void Reg(int status) {
        RegStatsCallback(status);
        Drain();
    }
    static void State(int line, const char* s) {
        CallStatsCallback(line, s);
        Drain();
    }
};

}  // namespace

TEST_F(Events, RegistrationTable) {
    struct Row {
        int status;
        int callStatus;
        const char* tip;
        bool dialog;
    };
    const Row rows[] = {
        {201, -1, "已经注销!", false},       {401, -1, "401密码错误!", true},
        {403, -1, "403密码错误!", true},     {404, -1, "没有找到账号!", true},
        {408, -1, "连接软交换超时!", false}, {500, -1, " 未知含义的状态代码：", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.status);
        Call_Status = 0;
        desk.dialogs.shown.clear();
        Reg(r.status);
        EXPECT_EQ(Call_Status, r.callStatus);
        EXPECT_EQ(StatusTip, ZH(r.tip));
        EXPECT_TRUE(Logged(ZH(r.tip)));
        if (r.dialog) {
            ASSERT_EQ(desk.dialogs.shown.size(), 1u);
            EXPECT_EQ(desk.dialogs.shown[0].kind, "warning-message") << "a single Yes button";
            EXPECT_EQ(desk.dialogs.shown[0].text, ZH(r.tip) + ZH(" 登录失败！"));
        } else {
            EXPECT_TRUE(desk.dialogs.shown.empty());
        }
    }
}

TEST_F(Events, RefusalIsLoggedWithItsOwnTextWhateverHappensWhileTheBoxIsOpen) {
    // The registration is retried while the user reads the box: its 200 is
    // handled by the box's own event loop.
    desk.dialogs.whileOpen = [] { Reg(200); };
    Reg(403);
    std::vector<text::Ansi> tails;
    for (const auto& l : LogBufferLines()) tails.push_back(l.substr(l.find('\t') + 1));
    EXPECT_EQ(tails, (std::vector<text::Ansi>{ZH("登录成功!"), ZH("403密码错误!")}));
}

TEST_F(Events, Status200IdlesOnlyFromNegative) {
    Reg(401);
    Reg(200);
    EXPECT_EQ(Call_Status, 0) << "200 after 401";
    EXPECT_EQ(StatusTip, ZH("登录成功!"));
    Call_Status = 3;
    Reg(200);
    EXPECT_EQ(Call_Status, 3) << "200 during a call leaves the call alone";
}

TEST_F(Events, CallStateTable) {
    Call_Status = 0;
    State(7, "calling");
    EXPECT_EQ(Call_Status, 1);
    EXPECT_EQ(StatusTip, ZH("正在寻址..."));
    State(7, "callring");
    EXPECT_EQ(Call_Status, 2);
    EXPECT_EQ(StatusTip, ZH("正在呼叫..."));
    CallSeconds = 9;
    State(7, "callanswer");
    EXPECT_EQ(Call_Status, 3);
    EXPECT_EQ(CallSeconds, 0);
    EXPECT_EQ(main.billStarts, 1);
    EXPECT_EQ(main.tips.back(), ZH("呼出通话中..."));
    CallSeconds = 42;
    State(7, "callend");
    EXPECT_EQ(Call_Status, 0);
    EXPECT_EQ(StatusTip, ZH("已挂机"));
    EXPECT_EQ(CallSeconds, 0);
    EXPECT_EQ(main.billStops, 1);
    ASSERT_FALSE(desk.sound.played.empty());
    EXPECT_EQ(desk.sound.played.back().path, "sound\\hangup.wav");
    State(8, "answerstr");
    EXPECT_EQ(Call_Status, 4);
    EXPECT_EQ(main.tips.back(), ZH("接听通话中..."));
    EXPECT_TRUE(Logged(ZH("线路:7 calling")));
    EXPECT_TRUE(Logged(ZH("线路:8 answerstr")));
}

TEST_F(Events, UnknownOrCaseDifferingStateOnlyLogs) {
    Call_Status = 2;
    StatusTip = "before";
    State(3, "CallEnd");
    State(3, "whatever");
    EXPECT_EQ(Call_Status, 2);
    EXPECT_EQ(StatusTip, "before");
    EXPECT_EQ(main.billStops, 0);
    EXPECT_TRUE(Logged(ZH("线路:3 CallEnd")));
}

TEST_F(Events, AudioLevelsReachTheMeters) {
    AudioStatsCallback(35, 80);
    Drain();
    EXPECT_EQ(main.outLevel, 35);
    EXPECT_EQ(main.inLevel, 80);
}

TEST_F(Events, IncomingCallAsksAndAnswersOnYes) {
    desk.dialogs.answers = {true};
    Call_Status = 0;
    IncomingCallback(12, "sip:8613900000000@127.0.0.1");
    Drain();
    EXPECT_EQ(CallDirection, "Call_IN");
    EXPECT_EQ(InCallId, 12);
    EXPECT_EQ(CallInFrom, "sip:8613900000000@127.0.0.1");
    EXPECT_EQ(Call_Status, 5);
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].text, ZH("来电号码：sip:8613900000000@127.0.0.1\n\n接听吗？"));
    ASSERT_EQ(desk.sound.played.size(), 1u);
    EXPECT_EQ(desk.sound.played[0].path, "sound\\ring.wav");
    EXPECT_TRUE(desk.sound.played[0].loop);
    EXPECT_EQ(desk.sound.stops, 1);
    ASSERT_EQ(fake_engine::CallsOf("SphSipAnswer").size(), 1u);
    EXPECT_EQ(fake_engine::CallsOf("SphSipAnswer")[0].args[0], "12");
}

TEST_F(Events, IncomingCallRefusedOnNoAndEngineErrorIsShown) {
    desk.dialogs.answers = {false};
    fake_engine::ThrowOnce("SphSipHanpCall", "line gone");
    IncomingCallback(4, "sip:1@h");
    Drain();
    ASSERT_EQ(fake_engine::CallsOf("SphSipHanpCall").size(), 1u);
    ASSERT_EQ(desk.dialogs.shown.size(), 2u);
    EXPECT_EQ(desk.dialogs.shown[1].text, ZH("来电接听异常，详细信息是") + "line gone");
    EXPECT_EQ(desk.sound.stops, 1) << "the ring stops after the error too";
}

TEST_F(Events, IncomingDuringAnotherCallOverwritesTheLine) {
    Call_Status = 3;
    CallDirection = "Call_Out";
    InCallId = 1;
    IncomingCallback(9, "sip:2@h");
    Drain();
    EXPECT_EQ(Call_Status, 5);
    EXPECT_EQ(InCallId, 9);
    EXPECT_EQ(CallDirection, "Call_IN");
}

TEST_F(Events, ReceivedMessageIsStoredQueuedAndNotified) {
    const text::Ansi body = ZH("你好，世界");
    RecvMessageCallback("sip:8613900000000@127.0.0.1", body.c_str());
    Drain();
    EXPECT_EQ(MsgFrom, "sip:8613900000000@127.0.0.1");
    EXPECT_EQ(MsgText, body);
    EXPECT_TRUE(Logged(body)) << "the receipt is logged";
    EXPECT_EQ(TakeMessageFor("13900000000"), "13900000000@ " + body);
}

TEST_F(Events, MessagesArrivingTogetherAreEachHandledWithTheirOwnSenderAndText) {
    // Both arrive before the first notification is handled, as in a flood.
    RecvMessageCallback("sip:8613900000001@d", "first");
    RecvMessageCallback("sip:8613900000002@d", "second");
    Drain();
    EXPECT_TRUE(Logged(ZH("ReceiveMsg SIP短信，来自:13900000001 消息: first")));
    EXPECT_TRUE(Logged(ZH("ReceiveMsg SIP短信，来自:13900000002 消息: second")));
    EXPECT_EQ(MsgFrom, "sip:8613900000002@d") << "the last message received";
}

TEST_F(Events, CallbacksFromAnotherThreadRunOnTheGuiThreadInOrder) {
    Call_Status = 0;
    std::thread engine([] {
        CallStatsCallback(1, "calling");
        CallStatsCallback(1, "callring");
        CallStatsCallback(1, "callanswer");
        RecvMessageCallback("sip:8611111111@d", "m1");
        CallStatsCallback(1, "callend");
    });
    engine.join();
    EXPECT_EQ(Call_Status, 0) << "nothing has happened on the engine's thread";
    EXPECT_EQ(LogBufferSize(), 0u);
    Drain();
    const auto lines = LogBufferLines();
    std::vector<text::Ansi> tails;
    for (const auto& l : lines) tails.push_back(l.substr(l.find('\t') + 1));
    const std::vector<text::Ansi> expected = {ZH("线路:1 calling"), ZH("线路:1 callring"), ZH("线路:1 callanswer"),
                                              ZH("线路:1 callend"), ZH("ReceiveMsg SIP短信，来自:11111111 消息: m1")};
    EXPECT_EQ(tails, expected);
    EXPECT_EQ(Call_Status, 0);
    EXPECT_EQ(main.billStarts, 1);
    EXPECT_EQ(main.billStops, 1);
}
