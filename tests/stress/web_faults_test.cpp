// SPDX-License-Identifier: GPL-3.0-or-later
// A hostile web service, for the SIP server discovery at login and for the
// bridge-call order: one that answers a byte a second, one whose body never
// ends, one that hangs up in the middle of its header. Each request ends with
// the HTTP client's error or bound, the client goes on as it does after any
// failed request, and the window keeps painting meanwhile.
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

#include <cstdio>

#include "app/main_window.h"
#include "call/call_control.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "platform/executable.h"
#include "platform/qt/qt_text.h"
#include "service_addresses.h"
#include "tests/net/loopback_server.h"
#include "tests/stress/stress_fixture.h"

using text::ZH;

namespace {

const std::string kHead = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// The whole answer, one byte a second.
nettest::Script Trickle(const std::string& answer) {
    nettest::Script s{true, {}, 0};
    for (char c : answer) {
        s.steps.push_back({nettest::Step::kSend, std::string(1, c)});
        s.steps.push_back({nettest::Step::kPause, "", 1000});
    }
    return s;
}
// A header, then a body that does not end (64 MiB, more than any bound).
nettest::Script Endless() {
    return nettest::Script{
        true, {{nettest::Step::kSend, kHead}, {nettest::Step::kSendRepeated, std::string(65536, 'x'), 0, 1024}}, 0};
}
// Part of a header, then the connection closes.
nettest::Script CutHeader() { return nettest::Answer("HTTP/1.0 200 OK\r\nContent-Ty"); }

struct Hostile {
    const char* what;
    nettest::Script script;
    const char* error;  // the request's error; empty: it returns with no answer
};

std::vector<Hostile> Cases(const std::string& answer) {
    return {{"a byte a second", Trickle(kHead + answer), "Socket readln aborted"},
            {"endless body", Endless(), "Response body too large"},
            {"cut in the header", CutHeader(), ""}};
}

class WebFaults : public StressTest {};

}  // namespace

TEST_F(WebFaults, DiscoveryEndsWithTheErrorAndLoginGoesOnWithTheDefaultServer) {
    for (Hostile& c : Cases("127.0.0.1:5060#0123456789ABCDEF#e10adc3949ba59abbe56e057f20f883e")) {
        SCOPED_TRACE(c.what);
        // Asked twice: at login, and again after registering, since the
        // first answer brought no tokens.
        nettest::LoopbackServer web({c.script, c.script});
        SetDiscoveryHost("127.0.0.1:" + std::to_string(web.Port()));
        StartClient();  // logs in at once: discovery first
        WatchStatusTicks();
        ASSERT_TRUE(PumpUntil([] { return Logged(ZH("获取软交换地址：")); }, 30000)) << "login did not go on";
        EXPECT_EQ(SipServer, service::kDefaultSipServer);
        if (*c.error) {
            EXPECT_EQ(Net_Status, c.error);
            EXPECT_TRUE(Logged(ZH(" 次获取软交换节点出错,详细信息是: ") + c.error));
        } else {
            EXPECT_EQ(Net_Status, ZH("正常"));
            EXPECT_TRUE(Logged(ZH("获取软交换节点出错,收到的是非法数据：")));
        }
        EXPECT_LT(LongestTickGapMs(), 1000) << "the window stopped painting";
        // The next case logs in afresh, with a log of its own.
        StopClient();
        std::remove(platform::NativePath(LogFileName()).c_str());
        ResetSharedState();
    }
    SetDiscoveryHost(service::kDiscoveryHost);
}

TEST_F(WebFaults, BridgeCallEndsQuietlyAndTheWindowGoesOn) {
    ASSERT_NO_FATAL_FAILURE(StartStandin());
    StartClient();
    ASSERT_TRUE(WaitIdleShown(30000)) << "never registered; StatusTip " << StatusTip;
    const text::Ansi service = WebServer;
    for (Hostile& c : Cases(ZH("呼叫已建立，请等待来电。"))) {
        SCOPED_TRACE(c.what);
        nettest::LoopbackServer web({c.script});
        WebServer = web.Url("/");
        frmMain->PhoneNum->setCurrentText("13912345678");
        desk_.dialogs.shown.clear();
        desk_.dialogs.answers = {true};
        WatchStatusTicks();
        frmMain->spbBridgeCall->click();  // returns when the order has ended
        EXPECT_LT(LongestTickGapMs(), 1000) << "the window stopped painting";
        ASSERT_EQ(web.Requests().size(), 1u);
        if (*c.error) {
            // Any failure ends the order silently: only the question was shown.
            EXPECT_EQ(desk_.dialogs.shown.size(), 1u);
        } else {
            // No answer at all is the service's answer: an empty one.
            ASSERT_EQ(desk_.dialogs.shown.size(), 2u);
            EXPECT_EQ(desk_.dialogs.shown[1].text, "");
        }
        EXPECT_TRUE(WaitIdleShown(2000)) << "the line state changed";
    }
    WebServer = service;
}
