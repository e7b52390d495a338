// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCoreApplication>
#include <QSplitter>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "call/call_control.h"
#include "call/engine_events.h"
#include "core/daily_log.h"
#include "core/msg_queue.h"
#include "core/shared_state.h"
#include "platform/qt/caret_rest.h"
#include "platform/qt/qt_text.h"
#include "service_addresses.h"
#include "tests/support/fake_engine.h"
#include "tests/support/logged.h"
#include "tests/support/platform_fakes.h"
#include "windows/message_window.h"
#include "windows/message_windows.h"

using text::ZH;

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

std::vector<text::Ansi> Lines(const TfrmMessage* w) {
    std::vector<text::Ansi> lines;
    const text::Ansi all = AnsiFromQ(w->HistoryMsg->toPlainText());
    if (all.empty()) return lines;
    std::size_t from = 0;
    for (std::size_t nl; (nl = all.find('\n', from)) != text::Ansi::npos; from = nl + 1)
        lines.push_back(all.substr(from, nl - from));
    lines.push_back(all.substr(from));
    return lines;
}

using testlog::Logged;

const char kA[] = "sip:8613900139000@127.0.0.1";
const char kB[] = "sip:8610086110009@127.0.0.1";

// The call-control form (the owner of the windows made for peers) and the
// start-up window, with the recording engine and the scripted desktop.
class MessageWindowTest : public ::testing::Test {
protected:
    fakes::Desktop desk;
    std::unique_ptr<TfrmCall> call;
    std::unique_ptr<TfrmMessage> start;

    void SetUp() override {
        ResetSharedState();
        fake_engine::Reset();
        call = std::make_unique<TfrmCall>();
        QCoreApplication::sendPostedEvents();  // its login notification: no login window here
        start = std::make_unique<TfrmMessage>();
        frmMessage = start.get();
        ClearLogBuffer();
    }
    void TearDown() override {
        start.reset();
        call.reset();
        MsgQueue.Clear();
    }
    // The engine delivers a message; the GUI thread handles it.
    static void Receive(const char* from, const text::Ansi& body) { RecvMessageCallback(from, body.c_str()); }
    // Runs the loop (timers included) until the queue is drained; bounded.
    static bool Delivered() {
        return QTest::qWaitFor(
            [] {
                QCoreApplication::sendPostedEvents();
                return MsgQueue.Empty();
            },
            5000);
    }
    static TfrmMessage* Window(const char* number) { return FindMessageWindow(number); }
    // A window made for a peer as ReceiveMsg makes one, not shown.
    TfrmMessage* PeerWindow(const char* caption) {
        auto* w = new TfrmMessage(call.get());
        w->SetCaption(caption);
        return w;
    }
    std::vector<std::vector<std::string>> EngineArgs(const char* fn) {
        std::vector<std::vector<std::string>> r;
        for (const auto& c : fake_engine::CallsOf(fn)) r.push_back(c.args);
        return r;
    }
};

}  // namespace

// An idle window never wakes the program: its 20 ms timer runs only while a
// message for its peer waits in the queue, hidden or not, and stops once none
// is left; a push from another thread starts it on the GUI thread.
TEST_F(MessageWindowTest, ReadTimerRunsOnlyWhileAMessageWaitsForItsWindow) {
    TfrmMessage* a = PeerWindow("(13900139000)");
    TfrmMessage* b = PeerWindow("(10086110009)");
    const auto running = [&] {
        return std::vector<bool>{start->ReadMsgTimer->isActive(), a->ReadMsgTimer->isActive(),
                                 b->ReadMsgTimer->isActive()};
    };
    EXPECT_EQ(running(), (std::vector<bool>{false, false, false}));

    QueueReceivedMessage(kA, "one");
    EXPECT_EQ(running(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(a->ReadMsgTimer->interval(), 20);
    QueueReceivedMessage(kB, "two");  // behind A's
    EXPECT_EQ(running(), (std::vector<bool>{false, true, true}));
    ASSERT_TRUE(Delivered());
    EXPECT_EQ(Lines(a), (std::vector<text::Ansi>{ZH("13900139000 说："), " one"}));
    EXPECT_EQ(Lines(b), (std::vector<text::Ansi>{ZH("10086110009 说："), " two"}));
    EXPECT_EQ(running(), (std::vector<bool>{false, false, false})) << "none is left";

    std::thread([] { QueueReceivedMessage(kA, "three"); }).join();
    ASSERT_TRUE(Delivered());
    EXPECT_EQ(Lines(a).back(), " three");
    EXPECT_FALSE(a->ReadMsgTimer->isActive());

    // A window made for a message already queued takes it.
    QueueReceivedMessage("sip:8613700137000@127.0.0.1", "four");
    TfrmMessage* c = PeerWindow("(13700137000)");
    EXPECT_TRUE(c->ReadMsgTimer->isActive());
    ASSERT_TRUE(Delivered());
    EXPECT_EQ(Lines(c), (std::vector<text::Ansi>{ZH("13700137000 说："), " four"}));
    EXPECT_FALSE(c->ReadMsgTimer->isActive());
}

TEST_F(MessageWindowTest, StartUpWindowAsBuilt) {
    TfrmMessage& w = *start;
    EXPECT_EQ(w.windowTitle(), Q("短信"));
    EXPECT_EQ(w.Caption(), ZH("短信"));
    EXPECT_TRUE(w.PeerNumber.empty());
    EXPECT_FALSE(w.isVisible()) << "nothing shows the start-up window";
    EXPECT_TRUE(w.isWindow());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w.ReadMsgTimer->interval(), 20);
    EXPECT_FALSE(w.ReadMsgTimer->isActive()) << "no message waits for it";
    EXPECT_TRUE(w.HistoryMsg->isReadOnly());
    EXPECT_EQ(w.HistoryMsg->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(w.HistoryMsg->font().pixelSize(), 16);
    EXPECT_FALSE(w.SendMsg->isReadOnly());
    EXPECT_EQ(w.SendMsg->font().pixelSize(), 13);
    EXPECT_TRUE(w.HistoryMsg->toPlainText().isEmpty());
    EXPECT_TRUE(w.SendMsg->toPlainText().isEmpty());
    EXPECT_EQ(w.spbClose->text(), Q("关闭"));
    EXPECT_EQ(w.spbCall->text(), Q("拨打"));
    EXPECT_EQ(w.spbSend->text(), Q("发信息"));
    EXPECT_EQ(w.spbClose->geometry(), QRect(-1, 5, 50, 41));
    EXPECT_EQ(w.spbCall->geometry(), QRect(232, 5, 81, 40));
    EXPECT_EQ(w.spbSend->geometry(), QRect(320, 5, 76, 41));
    EXPECT_EQ(w.spbSend->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(w.HorizontalSplitter->handleWidth(), 4);
    EXPECT_EQ(w.VerticalSplitter->handleWidth(), 8);
}

TEST(PeerNumber, CutFromTheCaption) {
    struct Row {
        const char* caption;
        const char* number;
    };
    const Row rows[] = {
        {"(13900139000)", "13900139000"},
        {"短信", ""},
        {"(13900139000", ""},
        {"()", ""},
        {"139)", "139"},
        {")1(2)", ""},
        {"a(1(2)3)", "1(2"},
        {"(12)34)", "12"},
    };
    for (const Row& r : rows) EXPECT_EQ(PeerNumberFromCaption(ZH(r.caption)), ZH(r.number)) << r.caption;
    EXPECT_EQ(PeerOfSender(kA), "13900139000");
    EXPECT_EQ(PeerOfSender("abc"), "") << "no \"@\": no number";
    EXPECT_EQ(PeerOfSender("sip:8612)34@h"), "12");
}

TEST_F(MessageWindowTest, ReceivedMessageOpensThePeersWindowOwnedByTheCallForm) {
    Receive(kB, ZH("你好"));
    ASSERT_TRUE(Delivered());
    TfrmMessage* w = Window("10086110009");
    ASSERT_NE(w, nullptr);
    EXPECT_NE(w, start.get());
    EXPECT_EQ(w->windowTitle(), Q("(10086110009)"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isWindow()) << "a top-level window, not a child of the call form";
    EXPECT_EQ(w->parent(), call.get());
    EXPECT_EQ(w->HistoryMsg->toPlainText(), Q("10086110009 说：\n 你好"));
    EXPECT_TRUE(start->HistoryMsg->toPlainText().isEmpty());
    EXPECT_TRUE(Logged(ZH("ReceiveMsg SIP短信，来自:10086110009 消息: 你好")));
    // Every window walked is logged, the call-control form too.
    EXPECT_TRUE(Logged(ZH("ReceiveMsg 子窗口Caption 短信 sTmp_PhoneNum ")));
    EXPECT_TRUE(Logged(ZH("ReceiveMsg 子窗口Caption 呼叫控制 sTmp_PhoneNum ")));
}

// Whether or not the sender carries the country code, the message reaches
// the number's one window, and the reply from there goes back to that number.
TEST_F(MessageWindowTest, SenderWithOrWithoutCountryCodeReachesTheNumbersWindow) {
    const char* senders[] = {"sip:13900139000@127.0.0.1", kA, "<sip:13900139000@127.0.0.1;transport=tcp>"};
    for (const char* from : senders) Receive(from, from);
    ASSERT_TRUE(Delivered()) << MsgQueue.Size() << " messages stuck";
    EXPECT_EQ(MessageWindows().size(), 2u) << "the start-up window and the peer's";
    EXPECT_EQ(Window("900139000"), nullptr);
    TfrmMessage* w = Window("13900139000");
    ASSERT_NE(w, nullptr);
    std::vector<text::Ansi> lines;
    for (const char* from : senders) lines.insert(lines.end(), {ZH("13900139000 说："), std::string(" ") + from});
    EXPECT_EQ(Lines(w), lines);
    EXPECT_TRUE(Logged(ZH("ReceiveMsg SIP短信，来自:13900139000 消息: sip:13900139000@")));

    w->SendMsg->setPlainText(Q("回复"));
    w->spbSend->click();
    EXPECT_EQ(
        EngineArgs("SphSipSendMessage"),
        (std::vector<std::vector<std::string>>{{std::string("sip:8613900139000@") + service::kSipDomain, ZH("回复")}}));
}

// Senders without end take no memory without end: past the bound a new
// peer's message leaves the queue whole in the log, and the peers who have a
// window still reach it.
TEST_F(MessageWindowTest, NewPeersBeyondTheWindowBoundGoToTheLog) {
    const auto from = [](std::size_t n) { return "sip:86139" + std::to_string(10000000 + n) + "@127.0.0.1"; };
    for (std::size_t n = 0; n <= kMostMessageWindows; ++n) Receive(from(n).c_str(), "hello " + std::to_string(n));
    Receive(from(0).c_str(), "again");
    ASSERT_TRUE(Delivered()) << MsgQueue.Size() << " messages stuck";
    EXPECT_EQ(MessageWindows().size(), kMostMessageWindows + 1) << "the start-up window and the bound's";
    const text::Ansi last = "139" + std::to_string(10000000 + kMostMessageWindows);
    EXPECT_EQ(Window(last.c_str()), nullptr);
    EXPECT_TRUE(Logged(ZH("ReceiveMsg 短信窗口已满50个，不再新建，丢弃短信，来自:") + from(kMostMessageWindows) +
                       ZH(" 消息: hello 50")));
    ASSERT_NE(Window("13910000000"), nullptr);
    EXPECT_EQ(Lines(Window("13910000000")).back(), " again");
}

TEST_F(MessageWindowTest, SamePeerReusesItsWindowAndShowsItAgain) {
    Receive(kB, "one");
    ASSERT_TRUE(Delivered());
    TfrmMessage* w = Window("10086110009");
    ASSERT_NE(w, nullptr);
    w->spbClose->click();
    EXPECT_FALSE(w->isVisible());

    Receive(kB, "two");
    ASSERT_TRUE(Delivered());
    EXPECT_EQ(MessageWindows().size(), 2u);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Lines(w), (std::vector<text::Ansi>{ZH("10086110009 说："), " one", ZH("10086110009 说："), " two"}));
    EXPECT_TRUE(Logged(ZH("ReceiveMsg 子窗口 10086110009已经创建过，只需要显示出来")));

    w->showMinimized();
    Receive(kB, "three");
    ASSERT_TRUE(Delivered());
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MessageWindowTest, TwoPeersEachTakeTheirOwnInOrderOfArrival) {
    // All four arrive before the GUI thread handles the first notification,
    // so every handler sees the last sender; both windows must still appear.
    Receive(kA, "a1");
    Receive(kB, "b1");
    Receive(kA, "a2");
    Receive(kB, "b2");
    ASSERT_TRUE(Delivered());
    TfrmMessage* a = Window("13900139000");
    TfrmMessage* b = Window("10086110009");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_TRUE(a->isVisible());
    EXPECT_TRUE(b->isVisible());
    EXPECT_EQ(Lines(a), (std::vector<text::Ansi>{ZH("13900139000 说："), " a1", ZH("13900139000 说："), " a2"}));
    EXPECT_EQ(Lines(b), (std::vector<text::Ansi>{ZH("10086110009 说："), " b1", ZH("10086110009 说："), " b2"}));
}

TEST_F(MessageWindowTest, HeadOfLineWaitsOnlyUntilItsPeersWindowTakesIt) {
    TfrmMessage* b = PeerWindow("(10086110009)");
    QueueReceivedMessage(kA, "first");
    QueueReceivedMessage(kB, "second");
    b->ReadMsgTimerTimer();
    EXPECT_EQ(MsgQueue.Size(), 2u) << "B's message waits behind A's";
    EXPECT_TRUE(b->HistoryMsg->toPlainText().isEmpty());

    // A's message had no notification of its own: the next one opens its window.
    Receive(kB, "third");
    ASSERT_TRUE(Delivered());
    TfrmMessage* a = Window("13900139000");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Lines(a), (std::vector<text::Ansi>{ZH("13900139000 说："), " first"}));
    EXPECT_EQ(Lines(b), (std::vector<text::Ansi>{ZH("10086110009 说："), " second", ZH("10086110009 说："), " third"}));
}

TEST_F(MessageWindowTest, OddSendersNeverBlockTheQueueNorShowTheStartUpWindow) {
    const std::string longSender = "sip:86" + std::string(60, '1') + "@127.0.0.1";  // cut to 51 bytes in its record
    // A number that no caption can hold whole still gets a window of its own.
    const std::vector<std::pair<std::string, std::string>> shown = {
        {"sip:8612)34@127.0.0.1", "a parenthesis"}, {"sip:86\xff\xfe\x80@127.0.0.1", "bytes no code page knows"}};
    // No number at all: nobody to show it with or to answer.
    const std::vector<std::pair<std::string, std::string>> dropped = {
        {"abc", "no colon, no at"}, {longSender, "too long"}, {"", "no sender"}, {"sip:86@127.0.0.1", "empty number"}};
    for (const auto& [from, body] : dropped) Receive(from.c_str(), body);
    for (const auto& [from, body] : shown) Receive(from.c_str(), body);
    Receive(kA, "after them");
    ASSERT_TRUE(Delivered()) << MsgQueue.Size() << " messages stuck";
    const auto windowsShowing = [](const std::string& body) {
        int n = 0;
        for (TfrmMessage* w : MessageWindows())
            if (AnsiFromQ(w->HistoryMsg->toPlainText()).find(body) != text::Ansi::npos) n += w->isVisible() ? 1 : 100;
        return n;
    };
    for (const auto& [from, body] : shown) EXPECT_EQ(windowsShowing(body), 1) << body;
    for (const auto& [from, body] : dropped) {
        EXPECT_EQ(windowsShowing(body), 0) << body;
        EXPECT_TRUE(
            Logged(ZH("ReceiveMsg 发送者没有可用的号码，丢弃短信，来自:") + from.substr(0, 51) + ZH(" 消息: ") + body))
            << body;
    }
    ASSERT_NE(Window("13900139000"), nullptr);
    EXPECT_EQ(Lines(Window("13900139000")), (std::vector<text::Ansi>{ZH("13900139000 说："), " after them"}));
    EXPECT_FALSE(start->isVisible()) << "the start-up window is never shown";
    EXPECT_TRUE(start->HistoryMsg->toPlainText().isEmpty());
}

TEST_F(MessageWindowTest, ReceivedTextIsShownWholeAndPlain) {
    const text::Ansi body = ZH("a@b <b>粗</b> &amp; <img src=x>\r\n第二行");
    Receive(kA, body);
    ASSERT_TRUE(Delivered());
    ASSERT_NE(Window("13900139000"), nullptr);
    EXPECT_EQ(Lines(Window("13900139000")),
              (std::vector<text::Ansi>{ZH("13900139000 说："), ZH(" a@b <b>粗</b> &amp; <img src=x>"), ZH("第二行")}));
}

TEST_F(MessageWindowTest, SendGoesToTheCallControlAndIsRecorded) {
    TfrmMessage* w = PeerWindow("(13900139000)");
    w->SendMsg->setPlainText(Q("你好\n第二行"));
    w->spbSend->click();
    EXPECT_EQ(EngineArgs("SphSipSendMessage"),
              (std::vector<std::vector<std::string>>{
                  {std::string("sip:8613900139000@") + service::kSipDomain, ZH("你好\r\n第二行")}}))
        << "line breaks leave as CR LF";
    EXPECT_EQ(w->PeerNumber, "13900139000");
    EXPECT_EQ(Lines(w), (std::vector<text::Ansi>{ZH("我说") + LongTimeText(), ZH("你好"), ZH("第二行")}));
    EXPECT_TRUE(w->SendMsg->toPlainText().isEmpty());
    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_TRUE(Logged(ZH("发送信息到 13900139000 内容是： 你好")));

    w->spbSend->click();  // nothing typed
    EXPECT_EQ(fake_engine::CallsOf("SphSipSendMessage").size(), 1u);
    EXPECT_EQ(Lines(w).size(), 3u);
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST_F(MessageWindowTest, RefusedSendIsReportedOnceAndKeepsTheText) {
    struct Row {
        const char* caption;
        text::Ansi body;
        const char* dialog;
    };
    std::string chinese251;
    for (int i = 0; i < 251; ++i) chinese251 += "字";
    const Row rows[] = {
        {"(1390013)", "hello", "请输入正确的号码，手机号码前不加0，固话加区号。"},
        {"(13900139000", "hello", "请输入数字电话号码！"},  // no ")": no peer
        {"(13900139000)", ZH(chinese251), "每次发送的内容只能在500字以内"},
        // 498 + 1 + 1 bytes as typed, 501 with the line break sent as CR LF.
        {"(13900139000)", ZH(chinese251.substr(6)) + "\nx", "每次发送的内容只能在500字以内"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.caption);
        desk.dialogs.shown.clear();
        TfrmMessage* w = PeerWindow(r.caption);
        w->SendMsg->setPlainText(QFromAnsi(r.body));
        w->spbSend->click();
        ASSERT_EQ(desk.dialogs.shown.size(), 1u);
        EXPECT_EQ(desk.dialogs.shown[0].text, ZH(r.dialog));
        EXPECT_TRUE(w->HistoryMsg->toPlainText().isEmpty()) << "not recorded as said";
        EXPECT_EQ(AnsiFromQ(w->SendMsg->toPlainText()), r.body) << "the text stays to be mended";
    }
    EXPECT_TRUE(fake_engine::CallsOf("SphSipSendMessage").empty());

    // 250 Chinese characters are 500 bytes: sent.
    TfrmMessage* w = Window("13900139000");
    ASSERT_NE(w, nullptr);
    w->SendMsg->setPlainText(QFromAnsi(ZH(chinese251.substr(3))));
    w->spbSend->click();
    EXPECT_EQ(fake_engine::CallsOf("SphSipSendMessage").size(), 1u);
}

TEST_F(MessageWindowTest, WindowWithoutPeerTakesNoRealPeersMessage) {
    TfrmMessage* w = PeerWindow("(13900139000");
    QueueReceivedMessage(kA, "waits");
    w->ReadMsgTimerTimer();
    EXPECT_EQ(MsgQueue.Size(), 1u);
    EXPECT_TRUE(w->HistoryMsg->toPlainText().isEmpty());
}

TEST_F(MessageWindowTest, CallButtonCallsThenHangsUp) {
    fake_engine::SetMakeCallResult(7);
    TfrmMessage* w = PeerWindow("(13900139000)");
    w->spbCall->click();
    EXPECT_EQ(EngineArgs("SphSiMakeCall"), (std::vector<std::vector<std::string>>{{"13900139000"}}));
    EXPECT_EQ(w->spbCall->text(), Q("挂断"));

    Call_Status = 3;  // the engine's events: connected
    w->spbCall->click();
    EXPECT_EQ(EngineArgs("SphSipHanpCall"), (std::vector<std::vector<std::string>>{{"7"}}));
    EXPECT_EQ(w->spbCall->text(), Q("拨打"));
    EXPECT_EQ(Lines(w), (std::vector<text::Ansi>{ZH("拨打电话 13900139000 ") + LongTimeText(),
                                                 ZH("挂断与 13900139000 的通话") + LongTimeText()}));
}

TEST_F(MessageWindowTest, AfterThePeerHungUpTheButtonStillHangsUpOnce) {
    TfrmMessage* w = PeerWindow("(13900139000)");
    w->spbCall->click();
    Call_Status = 0;  // the peer ended the call: the button does not follow
    EXPECT_EQ(w->spbCall->text(), Q("挂断"));
    w->spbCall->click();
    EXPECT_TRUE(fake_engine::CallsOf("SphSipHanpCall").empty()) << "nothing to hang up while idle";
    EXPECT_EQ(w->spbCall->text(), Q("拨打"));
    EXPECT_EQ(Lines(w).back(), ZH("挂断与 13900139000 的通话") + LongTimeText());
}

TEST_F(MessageWindowTest, RefusedCallKeepsTheCallRole) {
    TfrmMessage* w = PeerWindow("(12345)");
    w->spbCall->click();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].text,
              ZH("您输入的号码12345不正确，手机号码前不加0，固话加区号。不能拨打10位以下的特服号。"));
    EXPECT_TRUE(fake_engine::CallsOf("SphSiMakeCall").empty());
    EXPECT_EQ(w->spbCall->text(), Q("拨打"));
    EXPECT_TRUE(w->HistoryMsg->toPlainText().isEmpty());
}

TEST_F(MessageWindowTest, WindowsLiveUntilTheCallFormIsDestroyed) {
    Receive(kA, "x");
    Receive(kB, "y");
    ASSERT_TRUE(Delivered());
    EXPECT_EQ(MessageWindows().size(), 3u);
    call.reset();
    EXPECT_EQ(MessageWindows(), std::vector<TfrmMessage*>{start.get()});
}

TEST_F(MessageWindowTest, TimeFollowsTheClock) {
    desk.clock.now = {2026, 12, 8, 21, 5, 7};
    EXPECT_NE(LongTimeText().find(":05:07"), text::Ansi::npos) << LongTimeText();
}

// A chat window left focused does not wake the program all day: its caret
// stands still (shown) after a while without input, and a key blinks it again.
TEST_F(MessageWindowTest, CaretStandsStillWhenIdleAndBlinksOnAKey) {
    const int flash = QApplication::cursorFlashTime();
    ASSERT_GT(flash, 0);
    std::unique_ptr<QObject> rest(platform::RestCaretWhenIdle(200));
    ASSERT_NE(rest, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::cursorFlashTime() == 0; }, 5000));
    QTest::keyClick(start->SendMsg, Qt::Key_A);
    EXPECT_EQ(QApplication::cursorFlashTime(), flash);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::cursorFlashTime() == 0; }, 5000));
    rest.reset();
    QApplication::setCursorFlashTime(flash);
}
