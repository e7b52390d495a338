// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "core/password_cipher.h"
#include "core/shared_state.h"
#include "platform/qt/qt_text.h"
#include "service_addresses.h"
#include "tests/support/platform_fakes.h"
#include "windows/login_window.h"

using text::ZH;

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

const char kIni[] =
    "[LoadInfo]\r\nPID=77\r\nAccount=\r\nPwd=\r\nAutoLogin=0\r\nAutoRun=1\r\nsADSL_Type=tel\r\nNewUser=0\r\n";

class LoginWindowTest : public ::testing::Test {
protected:
    fakes::Desktop desk;
    TfrmLogin login;

    void Type(const char* phone, const char* pwd) {
        login.editUserPhone->setText(Q(phone));
        login.editUserPWD->setText(Q(pwd));
    }
    // The shared values a refused acceptance must leave alone.
    void ExpectUnchanged() {
        EXPECT_EQ(Account, "13000000000");
        EXPECT_EQ(Password, "old-pw");
        EXPECT_EQ(AutoLogin, "0");
        EXPECT_FALSE(login.LoginAccepted);
        EXPECT_EQ(desk.ReadFile("Info.ini"), kIni);
    }
    void SetUp() override {
        desk.WriteFile("Info.ini", kIni);
        Account = "13000000000";
        Password = "old-pw";
        AutoLogin = "0";
    }
};

TEST_F(LoginWindowTest, FormAsBuilt) {
    EXPECT_EQ(login.size(), QSize(592, 301));
    EXPECT_TRUE(login.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(login.windowTitle(), Q("用户登录"));
    EXPECT_EQ(login.editUserPWD->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(login.CheckAutoRun->isChecked());
    EXPECT_TRUE(login.CheckAutoRun->isHidden());
    EXPECT_FALSE(login.LoginAccepted);
    EXPECT_EQ(login.spbLogin->geometry(), QRect(430, 119, 97, 98));
    EXPECT_EQ(login.editUserPhone->geometry(), QRect(220, 124, 151, 19));
    EXPECT_EQ(login.editUserPWD->geometry(), QRect(220, 161, 151, 19));
    EXPECT_EQ(login.Label_Active->text(), Q("注册新帐号，或忘记密码，请点击这里"));
    EXPECT_FALSE(login.Image_login->pixmap().isNull());  // the background picture is there
    EXPECT_NEAR(login.windowOpacity(), 250.0 / 255.0, 0.01);
}

TEST_F(LoginWindowTest, EmptyPhoneOrPasswordIsRefused) {
    for (auto [phone, pwd] : {std::pair{"", "pw"}, std::pair{"138", ""}, std::pair{"", ""}}) {
        desk.dialogs.shown.clear();
        login.show();
        Type(phone, pwd);
        login.spbLogin->click();
        ASSERT_EQ(desk.dialogs.shown.size(), 1u);
        EXPECT_EQ(desk.dialogs.shown[0].kind, "warning");
        EXPECT_EQ(desk.dialogs.shown[0].text, ZH("帐号或者密码不正确"));
        EXPECT_EQ(desk.dialogs.shown[0].caption, ZH("系统提示"));
        EXPECT_TRUE(login.isVisible());  // the user corrects it in the same window
        ExpectUnchanged();
    }
}

TEST_F(LoginWindowTest, AcceptanceTrimsStoresAndSaves) {
    login.show();
    Type("  13800138000\t", " pass word ");
    login.CheckAutoLogin->setChecked(true);
    login.spbLoginClick();
    EXPECT_TRUE(login.LoginAccepted);
    EXPECT_FALSE(login.isVisible());
    EXPECT_EQ(Account, "13800138000");
    EXPECT_EQ(Password, "pass word");
    EXPECT_EQ(AutoLogin, "1");
    EXPECT_EQ(AutoRun, "1");
    const std::string ini = desk.ReadFile("Info.ini");
    EXPECT_NE(ini.find("=" + EncryptText("13800138000") + "\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("=" + EncryptText("pass word") + "\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("AutoLogin=1"), std::string::npos) << ini;
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST_F(LoginWindowTest, BlanksOnlyPhonePassesAndLeavesAccountEmpty) {
    Type("   ", "pw1234");
    login.spbLoginClick();
    EXPECT_TRUE(login.LoginAccepted);
    EXPECT_EQ(Account, "");
}

TEST_F(LoginWindowTest, NewUserWithAutoRunRegistersOnce) {
    NewUser = "1";
    Type("13800138000", "pw1234");
    login.spbLoginClick();
    EXPECT_EQ(desk.autostart.registered.size(), 1u);
    EXPECT_EQ(NewUser, "0");
    EXPECT_NE(desk.ReadFile("Info.ini").find("NewUser=0"), std::string::npos);
}

TEST_F(LoginWindowTest, NoRegistrationUnlessNewUserAndAutoRun) {
    NewUser = "0";
    Type("13800138000", "pw1234");
    login.spbLoginClick();
    EXPECT_TRUE(desk.autostart.registered.empty());

    NewUser = "1";
    login.CheckAutoRun->setChecked(false);
    login.spbLoginClick();
    EXPECT_TRUE(desk.autostart.registered.empty());
    EXPECT_EQ(AutoRun, "0");
    EXPECT_EQ(NewUser, "1");
}

TEST_F(LoginWindowTest, OverlongCredentialIsRefusedAndChangesNothing) {
    login.show();
    const QString tooLong(256, QChar('1'));
    login.editUserPhone->setText(tooLong);
    login.editUserPWD->setText("pw1234");
    login.CheckAutoLogin->setChecked(true);
    login.spbLoginClick();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "warning");
    EXPECT_TRUE(login.isVisible());
    ExpectUnchanged();

    // Counted in bytes: 128 Chinese characters are 256 bytes.
    login.editUserPhone->setText("13800138000");
    login.editUserPWD->setText(QString(128, QChar(0x4E2D)));
    login.spbLoginClick();
    EXPECT_EQ(desk.dialogs.shown.size(), 2u);
    ExpectUnchanged();

    // 255 bytes is the most the stored form holds, and is taken.
    login.editUserPhone->setText(QString(255, QChar('1')));
    login.editUserPWD->setText("pw1234");
    login.spbLoginClick();
    EXPECT_TRUE(login.LoginAccepted);
    EXPECT_EQ(Account, std::string(255, '1'));
}

TEST_F(LoginWindowTest, SpaceInABoxAcceptsAndTheBoxStillGetsIt) {
    login.show();
    Type("13800138000", "pw1234");
    QTest::keyClick(login.editUserPWD, Qt::Key_Space);
    EXPECT_TRUE(login.LoginAccepted);
    EXPECT_EQ(Password, "pw1234");                    // the text typed so far
    EXPECT_EQ(login.editUserPWD->text(), "pw1234 ");  // not consumed
}

TEST_F(LoginWindowTest, EscapeFromBoxOrFormCloses) {
    for (QWidget* target : {static_cast<QWidget*>(login.editUserPhone), static_cast<QWidget*>(&login)}) {
        login.LoginAccepted = true;
        login.show();
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(login.LoginAccepted);
        EXPECT_FALSE(login.isVisible());
    }
    ExpectUnchanged();
}

TEST_F(LoginWindowTest, EnterDoesNotAccept) {
    login.show();
    Type("13800138000", "pw1234");
    QTest::keyClick(login.editUserPhone, Qt::Key_Return);
    EXPECT_FALSE(login.LoginAccepted);
    EXPECT_EQ(Account, "13000000000");
}

TEST_F(LoginWindowTest, RunLoginFillsShowsModallyAndReportsAcceptance) {
    Account = "13900000000";
    bool seen = false;
    QTimer::singleShot(0, [&] {
        seen = login.isVisible() && login.isModal() && login.editUserPhone->text() == "13900000000" &&
               login.editUserPWD->text() == "stored" && login.CheckAutoLogin->isChecked() &&
               !login.CheckAutoRun->isChecked();
        login.spbLoginClick();
    });
    EXPECT_TRUE(login.RunLogin("13900000000", "stored", true, false));
    EXPECT_TRUE(seen);
    EXPECT_EQ(Password, "stored");
}

TEST_F(LoginWindowTest, ClosedFromOutsideAfterAnAcceptanceIsNoAcceptance) {
    QTimer::singleShot(0, [&] { login.spbLoginClick(); });
    EXPECT_TRUE(login.RunLogin("13900000000", "stored", false, true));
    QTimer::singleShot(0, [&] { login.CloseLogin(); });  // the tray's click, the window manager's close
    EXPECT_FALSE(login.RunLogin("13900000000", "stored", false, true));
}

TEST_F(LoginWindowTest, RegistrationLinkOpensTheSiteRootAddressUntrimmed) {
    PID = "77";
    login.show();
    login.editUserPhone->setText(" 138 00&a=b ");
    QTest::mouseClick(login.Label_Active, Qt::LeftButton);
    login.editUserPhone->clear();
    login.Label_ActiveClick();
    ASSERT_EQ(desk.shell.opened.size(), 2u);
    EXPECT_EQ(desk.shell.opened[0],
              std::string(service::kSiteRoot) + "user_reg.php?op=regist&f=client&user_mobile= 138 00&a=b &pid=77");
    EXPECT_EQ(desk.shell.opened[1],
              std::string(service::kSiteRoot) + "user_reg.php?op=regist&f=client&user_mobile=&pid=77");
    EXPECT_TRUE(login.isVisible());  // the window stays open
}

TEST_F(LoginWindowTest, LinkTurnsRedOnHoverAndStaysRed) {
    login.show();
    EXPECT_TRUE(login.Label_Active->styleSheet().contains("blue"));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(login.Label_Active, &move);
    EXPECT_TRUE(login.Label_Active->styleSheet().contains("#ff0000"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(login.Label_Active, &leave);
    EXPECT_TRUE(login.Label_Active->styleSheet().contains("#ff0000"));
}

TEST_F(LoginWindowTest, DraggingTheBackgroundMovesTheWindow) {
    login.show();
    login.move(100, 100);
    const QPoint start = login.pos();
    auto send = [this](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        const QPointF local = login.Image_login->mapFromGlobal(QPointF(global));
        QMouseEvent e(type, local, local, QPointF(global), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(login.Image_login, &e);
    };
    send(QEvent::MouseButtonPress, start + QPoint(10, 10), Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(50, 30), Qt::LeftButton);
    EXPECT_EQ(login.pos(), start + QPoint(40, 20));
    send(QEvent::MouseButtonRelease, start + QPoint(50, 30), Qt::NoButton);
    send(QEvent::MouseMove, start + QPoint(90, 90), Qt::NoButton);  // released: no longer follows
    EXPECT_EQ(login.pos(), start + QPoint(40, 20));
}

}  // namespace
