// SPDX-License-Identifier: GPL-3.0-or-later
// Bridge-call orders against a loopback web server: the exact request, the
// question and its refusals, the answer shown and logged, silent failures.
#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include "core/daily_log.h"
#include "platform/message_pump.h"
#include "tests/app/main_window_fixture.h"
#include "tests/net/loopback_server.h"

using text::ZH;

namespace {

const char* const kOk = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

class BridgeCallTest : public MainWindowTest {
protected:
    TfrmMain& Ready(const std::string& webServer) {
        TfrmMain& w = Main();
        WebServer = webServer;
        Account = "13800138000";
        Md5Pwd = "e10adc3949ba59abbe56e057f20f883e";
        ClearLogBuffer();
        return w;
    }
    // The log lines' texts, without their date-time stamps.
    static std::vector<text::Ansi> LogTexts() {
        std::vector<text::Ansi> lines = LogBufferLines();
        for (text::Ansi& l : lines) l = l.substr(l.find('\t') + 1);
        return lines;
    }
    static text::Ansi RequestLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }
};

TEST_F(BridgeCallTest, OrderGoesOutAndTheAnswerIsShownAndLogged) {
    const text::Ansi answer = ZH("呼叫已建立，请等待来电。");
    nettest::LoopbackServer server({nettest::Answer(kOk + answer)});
    TfrmMain& w = Ready(server.Url("/"));
    w.PhoneNum->setEditText("  13912345678 ");
    desk.dialogs.answers = {true};
    w.spbBridgeCall->setEnabled(true);
    w.spbBridgeCall->click();

    ASSERT_EQ(server.Requests().size(), 1u);
    const text::Ansi query =
        "/user/make_call.php?v=1.3&f=client&op=call&Caller=13800138000"
        "&Pwd=e10adc3949ba59abbe56e057f20f883e&Called=13912345678&Call_Key=bridgecall";
    EXPECT_EQ(RequestLine(server.Requests()[0]), "GET " + query + " HTTP/1.0");

    ASSERT_EQ(desk.dialogs.shown.size(), 2u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "question");
    EXPECT_EQ(desk.dialogs.shown[0].text,
              ZH("将要为您 13800138000 和 13912345678 创建通话。\n\n请保持电话在空闲状态，等待服务器来电。确定吗？"));
    EXPECT_EQ(desk.dialogs.shown[0].caption, ZH("系统提示"));
    EXPECT_EQ(desk.dialogs.shown[1].kind, "info");
    EXPECT_EQ(desk.dialogs.shown[1].text, answer);
    EXPECT_EQ(desk.dialogs.shown[1].caption, ZH("系统提示"));

    const std::vector<text::Ansi> log = LogTexts();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], ZH("桥接通话：") + server.Url("/").substr(0, server.Url("/").size() - 1) + query);
    EXPECT_EQ(log[1], ZH("服务器响应：") + answer);
    EXPECT_EQ(AnsiFromQ(w.StatusPanel1->text()), ZH("9:30:00 AM 响应：") + answer) << "the system's long time format";

    EXPECT_EQ(w.NMHTTP_WebCall.TimeOut, 5000u);
    EXPECT_EQ(w.NMHTTP_WebCall.ReportLevel, 2);
    EXPECT_FALSE(w.NMHTTP_WebCall.InputFileMode);
    EXPECT_FALSE(w.NMHTTP_WebCall.OutputFileMode);
}

TEST_F(BridgeCallTest, ValuesGoInUnencodedAndAnEmptyAnswerIsShownEmpty) {
    nettest::LoopbackServer server({nettest::Answer("HTTP/1.0 404 Not Found\r\n\r\n")});
    TfrmMain& w = Ready(server.Url("/"));
    Md5Pwd.clear();  // before any discovery
    w.PhoneNum->setEditText("139&x=1");
    desk.dialogs.answers = {true};
    w.spbBridgeCallClick();

    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(server.Requests()[0]),
              "GET /user/make_call.php?v=1.3&f=client&op=call&Caller=13800138000&Pwd=&Called=139&x=1"
              "&Call_Key=bridgecall HTTP/1.0");
    ASSERT_EQ(desk.dialogs.shown.size(), 2u);
    EXPECT_EQ(desk.dialogs.shown[1].kind, "info");  // the status is not looked at
    EXPECT_EQ(desk.dialogs.shown[1].text, "");
    const std::vector<text::Ansi> log = LogTexts();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], ZH("服务器响应："));
}

TEST_F(BridgeCallTest, NoNumberMeansAWarningAndNothingElse) {
    nettest::LoopbackServer server({nettest::Answer(kOk)});
    TfrmMain& w = Ready(server.Url("/"));
    for (const char* box : {"输入要拨的号码", " 输入要拨的号码 ", "   ", ""}) {
        desk.dialogs.shown.clear();
        w.PhoneNum->setEditText(Q(box));
        desk.dialogs.answers = {true};
        w.spbBridgeCallClick();
        ASSERT_EQ(desk.dialogs.shown.size(), 1u) << box;
        EXPECT_EQ(desk.dialogs.shown[0].kind, "warning-message") << "the framework's, with a single Yes button";
        EXPECT_EQ(desk.dialogs.shown[0].text, ZH("请填写被叫号码再拨打！"));
    }
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_TRUE(LogBufferLines().empty());
}

TEST_F(BridgeCallTest, DeclinedOrderOnlyNotesTheTime) {
    nettest::LoopbackServer server({nettest::Answer(kOk)});
    TfrmMain& w = Ready(server.Url("/"));
    desk.clock.now = {2026, 12, 8, 14, 5, 9};
    w.PhoneNum->setEditText("13912345678");
    desk.dialogs.answers = {false};
    w.spbBridgeCallClick();
    EXPECT_EQ(AnsiFromQ(w.StatusPanel1->text()), ZH("2:05:09 PM 取消了本次桥接通话。"));
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_TRUE(LogBufferLines().empty());
}

TEST_F(BridgeCallTest, FailedRequestEndsSilently) {
    TfrmMain& w = Ready("http://127.0.0.1:" + std::to_string(nettest::UnusedPort()) + "/");
    w.PhoneNum->setEditText("13912345678");
    desk.dialogs.answers = {true};
    w.spbBridgeCallClick();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);  // the question only
    EXPECT_EQ(AnsiFromQ(w.StatusPanel1->text()), ZH("正在提交数据..."));
    EXPECT_TRUE(LogBufferLines().empty());

    WebServer = "not an address/";  // an error of another kind ends it the same way
    desk.dialogs.answers = {true};
    w.spbBridgeCallClick();
    EXPECT_EQ(desk.dialogs.shown.size(), 2u);  // the second question only
    EXPECT_TRUE(LogBufferLines().empty());
}

TEST_F(BridgeCallTest, SecondOrderDuringTheFirstEndsSilently) {
    nettest::LoopbackServer server({nettest::SlowAnswer(kOk, 600, "first")});
    TfrmMain& w = Ready(server.Url("/"));
    w.PhoneNum->setEditText("13912345678");
    desk.dialogs.answers = {true, true};
    // The waiting request keeps the GUI running, as the client's pump does.
    platform::SetMessagePump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
    struct Unpump {
        ~Unpump() { platform::SetMessagePump(nullptr); }
    } unpump;
    bool secondRan = false;
    // Runs from the message loop the first request keeps going.
    QTimer::singleShot(150, &w, [&w, &secondRan] {
        w.spbBridgeCallClick();
        secondRan = true;
    });
    w.spbBridgeCallClick();
    ASSERT_TRUE(secondRan);
    EXPECT_EQ(server.Connections(), 1);
    std::vector<text::Ansi> kinds;
    for (const auto& d : desk.dialogs.shown) kinds.push_back(d.kind);
    EXPECT_EQ(kinds, (std::vector<text::Ansi>{"question", "question", "info"}));
    EXPECT_EQ(desk.dialogs.shown.back().text, "first");
    EXPECT_EQ(LogTexts().size(), 2u);
}

}  // namespace
