// SPDX-License-Identifier: GPL-3.0-or-later
// The whole client in one process with the real engine against the local
// stand-in service: discovery over HTTP, registration with Kamailio, a call
// answered and ended by the peer, and a text message from it. Only the
// dialogs are scripted (a modal box would wait for a person).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "call/call_control.h"
#include "core/daily_log.h"
#include "core/password_cipher.h"
#include "core/shared_state.h"
#include "platform/executable.h"
#include "platform/qt/qt_text.h"
#include "tests/e2e/client_forms.h"
#include "tests/e2e/pump_until.h"
#include "tests/support/logged.h"
#include "tests/support/platform_fakes.h"
#include "windows/login_window.h"
#include "windows/message_window.h"

using text::ZH;

namespace {

const std::string kTools = RAVELO_SOURCE_DIR "/tools";

int Shell(const std::string& cmd) { return std::system(cmd.c_str()); }

using testlog::LoggedOrFlushed;

class ClientEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        runDir_ = std::string("/tmp/ravelo-e2e-") + std::to_string(::getpid());
        if (Shell("RUNDIR=" + runDir_ + " bash " + kTools + "/standin.sh start >/dev/null 2>&1") != 0)
            startError_ = "the stand-in service did not start (ports 8080, 5060, 5070 busy?)";
    }
    static void TearDownTestSuite() {
        Shell("RUNDIR=" + runDir_ + " bash " + kTools + "/standin.sh stop >/dev/null 2>&1");
        Shell("rm -rf " + runDir_);
    }
    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        desk_.WriteFile("Info.ini", "[LoadInfo]\r\nAutoRun=1\r\naccount=" + EncryptText("13800138000") + "\r\npwd=" +
                                        EncryptText("123456") + "\r\nsADSL_Type=gmcc\r\nAutoLogin=1\r\nNewUser=0\r\n");
        OpenClientForms();
    }
    void TearDown() override {
        if (frmMain) CloseClientForms(desk_);
    }

    fakes::Desktop desk_;
    static inline std::string runDir_;
    static inline std::string startError_;
};

}  // namespace

TEST_F(ClientEndToEnd, RegistersCallsTheAnsweringPeerAndReceivesAMessage) {
    // Login at start: discovery, registration, the client page in the browser.
    ASSERT_TRUE(PumpUntil([] { return Call_Status == 0; }, 20000)) << "never registered; StatusTip " << StatusTip;
    ASSERT_TRUE(PumpUntil([] { return frmMain->Tips->text() == QFromAnsi(ZH(" 空闲待机")); }, 1000))
        << "idle is shown within a second";
    EXPECT_EQ(SipServer, "127.0.0.1:5060");
    EXPECT_EQ(WebServer, "http://127.0.0.1:8080/");
    EXPECT_EQ(Net_Status, ZH("正常"));
    EXPECT_TRUE(LoggedOrFlushed(ZH("登录成功!")));
    EXPECT_FALSE(UserDes.empty());

    // An IP call from the number box; the peer answers, talks 5 s and hangs up.
    frmMain->PhoneNum->setCurrentText("10086110001");
    frmMain->spbAnswer->click();
    std::vector<int> seen{Call_Status};
    const bool ended = PumpUntil(
        [&] {
            if (Call_Status != seen.back()) seen.push_back(Call_Status);
            return seen.size() > 1 && Call_Status == 0;
        },
        20000);
    ASSERT_TRUE(ended) << "the call did not end; StatusTip " << StatusTip;
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 0);
    // 1 (looking up) may be passed too fast to be seen between two polls; the
    // log has every state.
    EXPECT_TRUE(std::find(seen.begin(), seen.end(), 3) != seen.end()) << "connected";
    EXPECT_TRUE(LoggedOrFlushed(ZH("线路:") + std::to_string(OutCallId) + " calling"));
    EXPECT_TRUE(LoggedOrFlushed(ZH("线路:") + std::to_string(OutCallId) + " callring"));
    EXPECT_TRUE(LoggedOrFlushed(ZH("线路:") + std::to_string(OutCallId) + " callanswer"));
    EXPECT_TRUE(LoggedOrFlushed(ZH("线路:") + std::to_string(OutCallId) + " callend"));
    const std::string panel = frmMain->StatusPanel0->text().toStdString();
    EXPECT_EQ(panel.rfind("本次通话0分", 0), 0u) << panel;
    EXPECT_EQ(frmMain->PhoneNum->itemText(0).toStdString(), "10086110001") << "history";

    // A text message from the service's side reaches the client and its log.
    ASSERT_EQ(
        Shell("RUNDIR=" + runDir_ + " bash " + kTools + "/send_message.sh 13800138000 '你好，Ravelo' 10086110009"), 0);
    ASSERT_TRUE(PumpUntil([] { return !MsgFrom.empty(); }, 10000));
    EXPECT_EQ(MsgText, ZH("你好，Ravelo"));
    EXPECT_EQ(MsgFrom.rfind("sip:8610086110009@", 0), 0u) << MsgFrom;
    EXPECT_TRUE(PumpUntil([] { return LoggedOrFlushed(ZH("你好，Ravelo")); }, 2000));

    // A message to the echoing peer comes back once, and only once: no
    // notification of ours may start an endless exchange.
    int echoes = 0;
    MsgFrom.clear();
    frmCall->SendSipMsg("10086110001", ZH("测试回声"));
    PumpUntil(
        [&] {
            if (!MsgFrom.empty()) {
                ++echoes;
                EXPECT_EQ(MsgText, ZH("已收到：测试回声"));
                MsgFrom.clear();
            }
            return false;
        },
        4000);
    EXPECT_EQ(echoes, 1);
}
