// SPDX-License-Identifier: GPL-3.0-or-later
// The exit command and the tray clicks.
#include "core/daily_log.h"
#include "tests/app/main_window_fixture.h"
#include "windows/login_window.h"

using text::ZH;

namespace {

TEST_F(MainWindowTest, ExitAnsweredNoHidesAndKeepsRunning) {
    TfrmMain& w = Main();
    w.show();
    desk.dialogs.answers = {false};
    w.ShutdownClick();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "question");
    EXPECT_EQ(desk.dialogs.shown[0].text, ZH("您确定退出Ravelo吗？"));
    EXPECT_EQ(desk.dialogs.shown[0].caption, ZH("系统提示"));
    EXPECT_TRUE(w.isHidden());
    EXPECT_TRUE(fake_engine::CallsOf("SphSipDestory").empty());
}

TEST_F(MainWindowTest, ExitAnsweredYesShutsDownFlushesAndEndsTheLoop) {
    TfrmMain& w = Main();
    TfrmCall call;
    QCoreApplication::processEvents();  // the call control's start-up notification
    WriteLog("last words");
    desk.dialogs.answers = {true};
    EXPECT_TRUE(LoopEndsAfter([&w] { w.ShutdownClick(); }));
    EXPECT_EQ(fake_engine::CallsOf("SphSipDestory").size(), 1u);
    EXPECT_EQ(LogBufferSize(), 0u);
    EXPECT_NE(desk.ReadFile("log/_20261208.txt").find("last words"), std::string::npos);
    for (const auto& d : desk.dialogs.shown) EXPECT_NE(d.kind, "message") << d.text;
}

TEST_F(MainWindowTest, ExitStillEndsAfterAnError) {
    TfrmMain& w = Main();
    ASSERT_EQ(frmCall, nullptr);  // shutting the engine down fails
    WriteLog("kept");
    desk.dialogs.answers = {true};
    EXPECT_TRUE(LoopEndsAfter([&w] { w.ShutdownClick(); }));
    ASSERT_EQ(desk.dialogs.shown.size(), 2u);
    EXPECT_EQ(desk.dialogs.shown[1].kind, "message");
    const text::Ansi prefix = ZH("退出异常，详细信息是");
    EXPECT_EQ(desk.dialogs.shown[1].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(desk.dialogs.shown[1].text.size(), prefix.size());  // the error's own message follows
}

TEST_F(MainWindowTest, TrayLeftClickShowsTheWindowAndClosesTheLoginWindow) {
    TfrmMain& w = Main();
    TfrmLogin login;
    login.show();
    w.hide();
    w.TrayNotify(WM_LBUTTONUP);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(login.isVisible());
    EXPECT_NEAR(w.windowOpacity(), 250.0 / 255.0, 0.01);
}

TEST_F(MainWindowTest, TrayOtherMessagesDoNothing) {
    TfrmMain& w = Main();
    w.hide();
    w.TrayNotify(0x0200);  // mouse move
    w.TrayNotify(0x0201);  // left button down
    EXPECT_TRUE(w.isHidden());
    EXPECT_NEAR(w.windowOpacity(), 1.0, 0.001);
}

TEST_F(MainWindowTest, ShowAndHideCommands) {
    TfrmMain& w = Main();
    w.ShowForm->trigger();
    EXPECT_TRUE(w.isVisible());
    w.HideForm->trigger();
    EXPECT_TRUE(w.isHidden());
    w.ReflashToggleState->trigger();  // renews the tray, leaves the window hidden
    EXPECT_TRUE(w.isHidden());
}

}  // namespace
