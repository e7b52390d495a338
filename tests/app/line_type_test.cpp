// SPDX-License-Identifier: GPL-3.0-or-later
// Line type: a new choice is saved, announced and followed by a new login;
// the same choice again, or the stored one at start-up, does nothing.
#include <QRadioButton>
#include <QTest>

#include "call/window_ports.h"
#include "service_addresses.h"
#include "tests/app/main_window_fixture.h"
#include "tests/net/loopback_server.h"

using text::ZH;

namespace {

class CountingLogin : public LoginWindowPort {
public:
    int runs = 0;
    void CloseLogin() override {}
    bool RunLogin(const text::Ansi&, const text::Ansi&, bool, bool) override {
        ++runs;
        return false;
    }
};

class LineTypeTest : public MainWindowTest {
protected:
    CountingLogin login;
    void SetUp() override {
        MainWindowTest::SetUp();
        SetLoginWindowPort(&login);
    }
    void TearDown() override {
        SetLoginWindowPort(nullptr);
        SetDiscoveryHost(service::kDiscoveryHost);
        MainWindowTest::TearDown();
    }
};

TEST_F(LineTypeTest, NewChoiceIsSavedAnnouncedAndLogsInAgain) {
    WriteInfoIni("13800138000", "gmcc");
    TfrmMain& w = Main();
    TfrmCall call;
    QCoreApplication::processEvents();  // the call control's own start-up
    ASSERT_TRUE(w.ADSLType_Oth->isChecked());
    const int runsBefore = login.runs;

    w.ADSLType_Tel->click();
    EXPECT_EQ(sADSL_Type, "tel");
    EXPECT_NE(desk.ReadFile("Info.ini").find("sADSL_Type=tel"), std::string::npos) << desk.ReadFile("Info.ini");
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "info");
    EXPECT_EQ(desk.dialogs.shown[0].text, ZH("重新登录到针对电信上网优化通话质量的服务器"));
    EXPECT_EQ(desk.dialogs.shown[0].caption, ZH("Ravelo--系统提示"));
    QCoreApplication::processEvents();  // no automatic login: the login window opens
    EXPECT_EQ(login.runs, runsBefore + 1);

    const struct {
        QRadioButton* button;
        const char* value;
        const char* notice;
    } rows[] = {
        {w.ADSLType_Uni, "uni", "重新登录到针对联通上网优化通话质量的服务器"},
        {w.ADSLType_Oth, "gmcc", "重新登录高压缩窄带服务器，以便在较慢的网络中也能提供比较流畅的IP通话"},
    };
    for (const auto& r : rows) {
        r.button->click();
        EXPECT_EQ(sADSL_Type, r.value);
        EXPECT_NE(desk.ReadFile("Info.ini").find(std::string("sADSL_Type=") + r.value), std::string::npos);
        EXPECT_EQ(desk.dialogs.shown.back().text, ZH(r.notice));
    }
    EXPECT_EQ(desk.dialogs.shown.size(), 3u);
}

TEST_F(LineTypeTest, SameChoiceDoesNothing) {
    WriteInfoIni("13800138000", "uni");
    TfrmMain& w = Main();
    TfrmCall call;
    QCoreApplication::processEvents();
    const int runsBefore = login.runs;
    const std::string file = desk.ReadFile("Info.ini");
    w.ADSLType_Uni->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(sADSL_Type, "uni");
    EXPECT_EQ(desk.ReadFile("Info.ini"), file);
    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_EQ(login.runs, runsBefore);
}

TEST_F(LineTypeTest, StoredChoiceAtStartUpOnlySelectsItsButton) {
    for (const char* stored : {"uni", "gmcc", "adsl"}) {
        WriteInfoIni("13800138000", stored);
        const std::string file = desk.ReadFile("Info.ini");
        TfrmMain w;
        QCoreApplication::processEvents();
        EXPECT_EQ(w.ADSLType_Uni->isChecked(), std::string(stored) == "uni") << stored;
        EXPECT_EQ(w.ADSLType_Oth->isChecked(), std::string(stored) != "uni") << stored;
        EXPECT_EQ(sADSL_Type, stored);  // an unknown value is shown as 其他, not changed
        EXPECT_EQ(desk.ReadFile("Info.ini"), file);
    }
    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_EQ(login.runs, 0);
}

// With automatic login the new line type goes out at once with the new
// discovery request.
TEST_F(LineTypeTest, AutomaticLoginAsksForAServerOfTheNewLineType) {
    nettest::LoopbackServer discovery(
        {nettest::Answer("HTTP/1.0 200 OK\r\n\r\n127.0.0.1:5060#ABCDEF0123456789#e10adc3949ba59abbe56e057f20f883e")});
    SetDiscoveryHost("127.0.0.1:" + std::to_string(discovery.Port()));
    WriteInfoIni("13800138000", "tel", "0");
    TfrmMain& w = Main();
    TfrmCall call;
    QCoreApplication::processEvents();  // start-up without automatic login: the login window
    ASSERT_EQ(discovery.Connections(), 0);
    AutoLogin = "1";

    w.ADSLType_Oth->click();
    QCoreApplication::processEvents();  // the posted login runs
    ASSERT_EQ(discovery.Requests().size(), 1u);
    const std::string request = discovery.Requests()[0];
    EXPECT_NE(request.find("&network=gmcc "), std::string::npos) << request;
    EXPECT_EQ(fake_engine::CallsOf("SphSipReg").size(), 1u);
}

}  // namespace
