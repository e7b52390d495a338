// SPDX-License-Identifier: GPL-3.0-or-later
// The 200 ms status display, row by row.
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "tests/app/main_window_fixture.h"

using text::ZH;

namespace {

struct Row {
    int code;
    const char* tip;
    bool freeShown;
    bool answerEnabled;
    bool answerShown;
    bool hangUpOn;
};

class StatusDisplayTest : public MainWindowTest, public ::testing::WithParamInterface<Row> {};

TEST_P(StatusDisplayTest, TickFollowsTheTable) {
    const Row r = GetParam();
    TfrmMain& w = Main();
    w.show();
    w.Tips->setText(Q("获取软交换节点出错"));  // written by another part between ticks
    Call_Status = r.code;
    w.ShowCall_Status_TimerTimer();

    EXPECT_EQ(StatusTip, ZH(r.tip));
    EXPECT_EQ(w.Tips->text(), QString(" ") + Q(r.tip));
    EXPECT_EQ(w.ImageFree->isHidden(), !r.freeShown);
    EXPECT_EQ(w.ImageBusy->isHidden(), r.freeShown);
    EXPECT_EQ(w.spbAnswer->isEnabled(), r.answerEnabled);
    EXPECT_EQ(w.spbAnswer->isHidden(), !r.answerShown);
    EXPECT_EQ(w.spbHanpCall->isEnabled(), r.hangUpOn);
    EXPECT_EQ(w.spbHanpCall->isHidden(), !r.hangUpOn);
}

INSTANTIATE_TEST_SUITE_P(Codes, StatusDisplayTest,
                         ::testing::Values(Row{-1, "未登录", false, false, true, false},
                                           Row{0, "空闲待机", true, true, true, false},
                                           Row{1, "正在呼叫...", false, false, false, true},
                                           Row{2, "等待接听...", false, false, false, true},
                                           Row{3, "拨打通话中...", false, false, false, true},
                                           Row{4, "接听通话中...", false, false, false, true},
                                           Row{5, "线路1呼入", false, false, false, true},
                                           Row{99, "未知状态码", false, true, true, false},
                                           Row{-2, "未知状态码", false, true, true, false}));

// The display waits for a change instead of ticking: with nothing to redraw
// its timer stands still; each change of the line state (and a text another
// part wrote) starts it again on the next turn of the loop, due within one
// period, and the change shows, in the order the changes came.
TEST_F(MainWindowTest, StatusTickRunsOnlyWhileThereIsSomethingToRedraw) {
    TfrmMain& w = Main();
    w.show();
    QTimer* tick = w.ShowCall_Status_Timer;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tick->isActive(); }, 5000)) << "nothing to redraw: no tick";
    EXPECT_EQ(w.Tips->text(), Q(" 未登录"));
    const struct {
        int code;
        const char* written;  // by another part after the state changed, or nullptr
        const char* caption;
        bool freeShown, hangUpShown;
    } steps[] = {{0, nullptr, " 空闲待机", true, false},
                 {1, nullptr, " 正在呼叫...", false, true},
                 {3, "呼出通话中...", " 拨打通话中...", false, true},
                 {3, "获取软交换节点出错", " 拨打通话中...", false, true},
                 {0, nullptr, " 空闲待机", true, false}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.caption);
        Call_Status = step.code;
        if (step.written) w.SetTips(ZH(step.written));
        QCoreApplication::processEvents();
        EXPECT_TRUE(tick->isActive());
        EXPECT_EQ(tick->interval(), 200);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.Tips->text() == Q(step.caption); }, 5000));
        EXPECT_EQ(w.ImageFree->isVisible(), step.freeShown);
        EXPECT_EQ(w.ImageBusy->isVisible(), !step.freeShown);
        EXPECT_EQ(w.spbHanpCall->isVisible(), step.hangUpShown);
        EXPECT_EQ(StatusTip, ZH(step.caption + 1));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !tick->isActive(); }, 5000)) << "stops once shown";
    }
}

TEST_F(MainWindowTest, NotLoggedInLeavesTheAnswerButtonWhereItWas) {
    TfrmMain& w = Main();
    Call_Status = 3;
    w.ShowCall_Status_TimerTimer();
    ASSERT_TRUE(w.spbAnswer->isHidden());
    Call_Status = -1;
    w.ShowCall_Status_TimerTimer();
    EXPECT_TRUE(w.spbAnswer->isHidden());  // visibility unchanged
    EXPECT_FALSE(w.spbAnswer->isEnabled());
    EXPECT_TRUE(w.spbHanpCall->isHidden());  // "off": nothing to press at that place
}

TEST_F(MainWindowTest, BridgeButtonIsSetOnlyByIdleAndNotLoggedIn) {
    TfrmMain& w = Main();
    Call_Status = -1;
    w.ShowCall_Status_TimerTimer();
    EXPECT_FALSE(w.spbBridgeCall->isEnabled());
    for (int code : {1, 2, 3, 4, 5, 99}) {  // unchanged: stays disabled
        Call_Status = code;
        w.ShowCall_Status_TimerTimer();
        EXPECT_FALSE(w.spbBridgeCall->isEnabled()) << code;
    }
    Call_Status = 0;
    w.ShowCall_Status_TimerTimer();
    EXPECT_TRUE(w.spbBridgeCall->isEnabled());
    for (int code : {1, 2, 3, 4, 5, 99}) {  // unchanged: a call from idle keeps it usable
        Call_Status = code;
        w.ShowCall_Status_TimerTimer();
        EXPECT_TRUE(w.spbBridgeCall->isEnabled()) << code;
        EXPECT_FALSE(w.spbBridgeCall->isHidden()) << code;  // never hidden
    }
}

TEST_F(MainWindowTest, TickRebuildsTheCaptionFromTheAccount) {
    TfrmMain& w = Main();
    Account = "13900000000";
    w.ShowCall_Status_TimerTimer();
    EXPECT_EQ(AnsiFromQ(w.windowTitle()), "RaveloZent 1.3 [13900000000]");
}

TEST_F(MainWindowTest, StartStateIsNotLoggedInWithAVisibleDisabledAnswerButton) {
    TfrmMain& w = Main();
    w.show();
    w.ShowCall_Status_TimerTimer();
    EXPECT_EQ(w.Tips->text(), Q(" 未登录"));
    EXPECT_TRUE(w.ImageBusy->isVisible());
    EXPECT_FALSE(w.ImageFree->isVisible());
    EXPECT_TRUE(w.spbAnswer->isVisible());
    EXPECT_FALSE(w.spbAnswer->isEnabled());
    EXPECT_FALSE(w.spbHanpCall->isVisible());
}

}  // namespace
