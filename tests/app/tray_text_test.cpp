// SPDX-License-Identifier: GPL-3.0-or-later
// Tray tip and window caption, built together from Account and the version.
#include "tests/app/main_window_fixture.h"

using text::ZH;

namespace {

TEST_F(MainWindowTest, EmptyAccountGivesTitleAndVersionWithoutBrackets) {
    Account.clear();
    EXPECT_EQ(MainCaptionText(), "RaveloZent 1.3");
    EXPECT_EQ(TrayTipText(), "RaveloZent" + ZH("\n↙ 按右键显示界面"));
}

TEST_F(MainWindowTest, AccountGoesIntoCaptionAndTip) {
    Account = "13800138000";
    EXPECT_EQ(MainCaptionText(), "RaveloZent 1.3 [13800138000]");
    EXPECT_EQ(TrayTipText(), "RaveloZent\n13800138000" + ZH("\n↙ 按右键显示界面"));
}

TEST_F(MainWindowTest, TipIsCutTo127BytesAndTheCaptionIsNot) {
    Account = std::string(200, '9');
    const text::Ansi tip = TrayTipText();
    ASSERT_GT(tip.size(), 127u);
    EXPECT_EQ(CutTrayTip(tip), tip.substr(0, 127));

    // Every update builds the caption, whole, even without a tray.
    Main().UpdateTrayIcon(TrayMode::modify);
    EXPECT_EQ(AnsiFromQ(Main().windowTitle()), "RaveloZent 1.3 [" + Account + "]");
}

TEST_F(MainWindowTest, TipCutNeverSplitsADoubleByteCharacter) {
    const text::Ansi exact(127, 'a');
    EXPECT_EQ(CutTrayTip(exact), exact);
    // 126 single bytes then a Chinese character: byte 127 would be half of it.
    const text::Ansi split = std::string(126, 'a') + ZH("中文");
    EXPECT_EQ(CutTrayTip(split), std::string(126, 'a'));
    const text::Ansi fits = std::string(125, 'a') + ZH("中文");
    EXPECT_EQ(CutTrayTip(fits), std::string(125, 'a') + ZH("中"));
}

TEST_F(MainWindowTest, WithoutATrayUpdatesFailQuietly) {
    // The offscreen platform has no notification area.
    Account = "13800138000";
    TfrmMain& w = Main();
    EXPECT_FALSE(w.UpdateTrayIcon(TrayMode::add));
    EXPECT_FALSE(w.UpdateTrayIcon(TrayMode::modify));
    EXPECT_FALSE(w.UpdateTrayIcon(TrayMode::del));
    EXPECT_FALSE(w.TrayIconPresent());
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

}  // namespace
