// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's components, commands and what the call control does to it.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>

#include <filesystem>

#include "core/daily_log.h"
#include "tests/app/main_window_fixture.h"

using text::ZH;

namespace {

class RecordingLogin : public LoginWindowPort {
public:
    int runs = 0, closes = 0;
    void CloseLogin() override { ++closes; }
    bool RunLogin(const text::Ansi&, const text::Ansi&, bool, bool) override {
        ++runs;
        return false;
    }
};

TEST_F(MainWindowTest, PopupMenuItemsInOrder) {
    QStringList texts;
    for (QAction* a : Main().PopupMenu->actions()) texts << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(texts, QStringList({Q("Ravelo帐号注册"), Q("显示面板"), Q("隐藏面板"), Q("刷新状态"), Q("查看日志"), "-",
                                  Q("用户登录"), "-", Q("退出Ravelo")}));
}

TEST_F(MainWindowTest, StoredPlacementOfTheTopStripAndStatusBar) {
    TfrmMain& w = Main();
    EXPECT_EQ(w.spbLogin->geometry(), QRect(1, 4, 46, 33));
    EXPECT_EQ(w.PhoneNum->geometry(), QRect(50, 6, 212, 28));
    EXPECT_EQ(w.spbAnswer->geometry(), QRect(267, 2, 75, 35));
    EXPECT_EQ(w.spbHanpCall->geometry(), QRect(267, 1, 75, 35));
    EXPECT_EQ(w.spbBridgeCall->geometry(), QRect(358, 2, 91, 35));
    EXPECT_EQ(w.StatusImagePanel->height(), 39);
    EXPECT_EQ(w.StatusPanel0->width(), 200);
    EXPECT_EQ(w.StatusPanel1->width(), 300);
    EXPECT_EQ(w.PhoneNum->currentText(), Q("输入要拨的号码"));
    EXPECT_EQ(w.spbBridgeCall->toolTip(), Q("在交换机中将主被叫桥接通话，音质不受网速影响"));
}

TEST_F(MainWindowTest, CallButtonsGoToTheCallControl) {
    TfrmMain& w = Main();
    TfrmCall call;
    QCoreApplication::processEvents();
    Call_Status = 0;
    w.ShowCall_Status_TimerTimer();  // idle: the button can be pressed
    w.PhoneNum->setEditText("13800138000");
    w.KeyboardPanel->hide();
    w.spbAnswer->click();
    ASSERT_EQ(fake_engine::CallsOf("SphSiMakeCall").size(), 1u);
    EXPECT_EQ(fake_engine::CallsOf("SphSiMakeCall")[0].args[0], "13800138000");
    EXPECT_FALSE(w.KeyboardPanel->isHidden());
    // The number joins the history; the box keeps its text.
    ASSERT_EQ(w.PhoneNum->count(), 1);
    EXPECT_EQ(w.PhoneNum->itemText(0), "13800138000");
    EXPECT_EQ(w.PhoneNum->currentText(), "13800138000");

    Call_Status = 3;
    w.ShowCall_Status_TimerTimer();
    w.spbHanpCall->click();
    EXPECT_EQ(fake_engine::CallsOf("SphSipHanpCall").size(), 1u);
}

TEST_F(MainWindowTest, LoginCommandsAskTheCallControlForTheLoginWindow) {
    TfrmMain& w = Main();
    TfrmCall call;
    RecordingLogin login;
    QCoreApplication::processEvents();  // the start-up request, before the port exists
    SetLoginWindowPort(&login);
    w.spbLogin->click();
    EXPECT_EQ(login.runs, 0);  // opened later, by the posted notification
    QCoreApplication::processEvents();
    EXPECT_EQ(login.runs, 1);
    w.N_login->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(login.runs, 2);
    SetLoginWindowPort(nullptr);
}

TEST_F(MainWindowTest, DialPadPlaysAppendsAndSendsTheKey) {
    TfrmMain& w = Main();
    w.spb10->click();
    w.spb11->click();
    w.spb0->click();
    EXPECT_EQ(w.PhoneNum->currentText(), Q("输入要拨的号码*#0"));  // the placeholder is not considered
    ASSERT_EQ(desk.sound.played.size(), 3u);
    EXPECT_EQ(desk.sound.played[0].path, "sound\\DTMF10.wav");
    EXPECT_EQ(desk.sound.played[1].path, "sound\\DTMF11.wav");
    EXPECT_EQ(desk.sound.played[2].path, "sound\\DTMF0.wav");
    EXPECT_FALSE(desk.sound.played[0].loop);
}

TEST_F(MainWindowTest, PlaceholderGoesOnFocusAndComesBackWhenEmpty) {
    TfrmMain& w = Main();
    w.PhoneNumEnter();
    EXPECT_EQ(w.PhoneNum->currentText(), "");
    w.PhoneNumExit();
    EXPECT_EQ(w.PhoneNum->currentText(), Q("输入要拨的号码"));
    w.PhoneNum->setEditText("  ");
    w.PhoneNumExit();
    EXPECT_EQ(w.PhoneNum->currentText(), "  ");
}

TEST_F(MainWindowTest, RegistrationAndLogCommandsOpenTheirTargets) {
    TfrmMain& w = Main();
    PID = "9";
    Account.clear();
    w.Regist->trigger();
    w.N3->trigger();
    ASSERT_EQ(desk.shell.opened.size(), 2u);
    EXPECT_EQ(desk.shell.opened[0], WebServer + "user_reg.php?v=1.3&op=regist&f=client&user_mobile=&pid=9");
    EXPECT_EQ(desk.shell.opened[1], "log\\_20261208.txt");
}

TEST_F(MainWindowTest, LogIsFlushedOnlyWhenLinesWait) {
    TfrmMain& w = Main();
    ClearLogBuffer();
    w.Save_logTimerTimer();
    EXPECT_FALSE(desk.Exists("log"));  // nothing to write, nothing created
    WriteLog("one line");
    w.Save_logTimerTimer();
    EXPECT_EQ(LogBufferSize(), 0u);
    EXPECT_NE(desk.ReadFile("log/_20261208.txt").find("one line"), std::string::npos);
}

TEST_F(MainWindowTest, CallTimerShowsMinutesAndSeconds) {
    TfrmMain& w = Main();
    CallSeconds = 58;
    w.Timer_billTimer();
    EXPECT_EQ(w.StatusPanel0->text(), Q("本次通话0分59秒"));
    w.Timer_billTimer();
    EXPECT_EQ(w.StatusPanel0->text(), Q("本次通话1分0秒"));
}

TEST_F(MainWindowTest, CallControlDrawsIntoTheWindow) {
    TfrmMain& w = Main();
    MainWindowPort* port = mainWindowPort();
    ASSERT_EQ(port, &w);
    port->SetTips(ZH("获取软交换节点出错"));
    EXPECT_EQ(w.Tips->text(), Q("获取软交换节点出错"));
    port->SetStatusPanel(1, ZH("正在提交数据..."));
    EXPECT_EQ(w.StatusPanel1->text(), Q("正在提交数据..."));
    port->SetSoundLevels(140, -5);  // clamped to the bars' range
    EXPECT_EQ(w.Sound_OUT->value(), 100);
    EXPECT_EQ(w.Sound_IN->value(), 0);
    port->StartBillTimer();
    EXPECT_TRUE(w.Timer_bill->isActive());
    port->StopBillTimer();
    EXPECT_FALSE(w.Timer_bill->isActive());
}

}  // namespace
