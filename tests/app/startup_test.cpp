// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's creation, the delayed hide and the close box.
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QWebEngineView>

#include "core/daily_log.h"
#include "service_addresses.h"
#include "tests/app/main_window_fixture.h"

using text::ZH;

namespace {

TEST_F(MainWindowTest, CreationLoadsSettingsPointsTheBrowserAndLogs) {
    WriteInfoIni("13800138000", "uni", "0", "77");
    TfrmMain& w = Main();

    EXPECT_EQ(w.StartPageAddress(),
              std::string(service::kSiteRoot) + "user/client_start.php?f=webclient&v=1.3&u=13800138000&p=77");
    EXPECT_TRUE(w.CppWebBrowser->isHidden());
    EXPECT_TRUE(w.ADSLType_Uni->isChecked());
    EXPECT_EQ(Call_Status, -1);
    EXPECT_FALSE(w.Timer_bill->isActive());
    EXPECT_TRUE(w.Timer_Hide->isActive());
    EXPECT_TRUE(w.ShowCall_Status_Timer->isActive());
    EXPECT_EQ(w.ShowCall_Status_Timer->interval(), 200);
    EXPECT_TRUE(w.Save_logTimer->isActive());
    EXPECT_EQ(w.Save_logTimer->interval(), 5000);
    EXPECT_EQ(AnsiFromQ(w.windowTitle()), "RaveloZent 1.3 [13800138000]");

    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const WindowGeometry g = MainWindowGeometry(screen.width(), screen.height());
    EXPECT_EQ(w.width(), g.width);
    EXPECT_EQ(w.height(), g.height);
    EXPECT_EQ(w.y(), g.top);

    // Lines logged before (the settings' own) are dropped; these five follow.
    std::vector<text::Ansi> lines = LogBufferLines();
    ASSERT_EQ(lines.size(), 5u);
    for (text::Ansi& l : lines) l = l.substr(l.find('\t') + 1);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], ZH("正在启动Ravelo..."));
    EXPECT_EQ(lines[2], ZH("屏幕分辨率：") + std::to_string(screen.width()) + "x" + std::to_string(screen.height()));
    EXPECT_EQ(lines[3], ZH("Ravelo像素：") + std::to_string(g.width) + "x" + std::to_string(g.height) +
                            " Top =" + std::to_string(g.top));
    EXPECT_EQ(lines[4], ZH("用户上网类型：uni"));
}

TEST_F(MainWindowTest, EmptyAccountLeavesNothingBetweenUAndP) {
    TfrmMain& w = Main();  // no Info.ini: nothing stored
    const text::Ansi addr = w.StartPageAddress();
    EXPECT_NE(addr.find("&u=&p="), std::string::npos) << addr;
    EXPECT_EQ(AnsiFromQ(w.windowTitle()), "RaveloZent 1.3");
}

TEST_F(MainWindowTest, ValuesGoIntoTheStartPageUnencoded) {
    WriteInfoIni("138 00&x=1", "tel", "0", "p/q");
    const text::Ansi addr = Main().StartPageAddress();
    EXPECT_NE(addr.find("&u=138 00&x=1&p=p/q"), std::string::npos) << addr;
}

TEST_F(MainWindowTest, BadCipherTextIsReportedOnceAndStartUpCompletes) {
    desk.WriteFile("Info.ini",
                   "[LoadInfo]\r\nPID=5\r\nAccount=ZZ-not-hex\r\nPwd=QQ\r\nAutoLogin=0\r\n"
                   "AutoRun=1\r\nsADSL_Type=tel\r\nNewUser=0\r\n");
    TfrmMain& w = Main();
    ASSERT_EQ(desk.dialogs.shown.size(), 2u);  // one report per bad value, from the settings
    EXPECT_EQ(desk.dialogs.shown[0].kind, "message");
    // Everything after the settings still happened.
    EXPECT_TRUE(w.ADSLType_Tel->isChecked());
    EXPECT_EQ(LogBufferSize(), 5u);
    EXPECT_EQ(Call_Status, -1);
    EXPECT_FALSE(w.Timer_bill->isActive());
    EXPECT_NE(w.StartPageAddress().find("&u=&p=5"), std::string::npos);
}

TEST_F(MainWindowTest, UnknownLineTypeShowsOtherAndChangesNothing) {
    WriteInfoIni("13800138000", "xyz");
    const std::string before = desk.ReadFile("Info.ini");
    TfrmMain& w = Main();
    EXPECT_TRUE(w.ADSLType_Oth->isChecked());
    EXPECT_EQ(sADSL_Type, "xyz");
    EXPECT_EQ(desk.ReadFile("Info.ini"), before);
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST_F(MainWindowTest, AutoLoginHidesTheWindowOnceAfterStart) {
    WriteInfoIni("13800138000", "tel", "1");
    TfrmMain& w = Main();
    w.show();
    w.Timer_HideTimer();
    EXPECT_TRUE(w.isHidden());
    EXPECT_FALSE(w.Timer_Hide->isActive());
}

TEST_F(MainWindowTest, WithoutAutoLoginTheWindowStays) {
    for (const char* value : {"0", ""}) {
        WriteInfoIni("13800138000", "tel", value);
        main_.reset();
        TfrmMain& w = Main();
        w.show();
        w.Timer_HideTimer();
        EXPECT_FALSE(w.isHidden()) << "AutoLogin=" << value;
        EXPECT_FALSE(w.Timer_Hide->isActive());
    }
}

TEST_F(MainWindowTest, CloseBoxOnlyHides) {
    TfrmMain& w = Main();
    w.show();
    EXPECT_FALSE(w.close());  // the close request is refused
    EXPECT_TRUE(w.isHidden());
    EXPECT_EQ(frmMain, &w);
}

TEST_F(MainWindowTest, WelcomeTextsAreSeenWhileTheBrowserIsHidden) {
    TfrmMain& w = Main();
    w.show();
    EXPECT_EQ(w.Web_PanelCaption->text(), Q("欢迎使用Ravelo"));
    EXPECT_EQ(w.Label1->text(), Q("打全国电话1毛钱1分钟！"));
    EXPECT_TRUE(w.Web_PanelCaption->isVisible());
    EXPECT_TRUE(w.Label1->isVisible());
    EXPECT_FALSE(w.CppWebBrowser->isVisible());
    // The call control shows the browser with the client page.
    w.OpenWebPage("http://127.0.0.1:9/action_client.php");
    EXPECT_TRUE(w.CppWebBrowser->isVisible());
}

}  // namespace
