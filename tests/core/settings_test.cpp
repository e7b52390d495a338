// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <functional>
#include <string>

#include "core/form_registry.h"
#include "core/password_cipher.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/executable.h"
#include "service_addresses.h"
#include "tests/support/platform_fakes.h"

using text::ZH;

namespace {

class Settings : public ::testing::Test {
protected:
    fakes::Desktop desk;
    void WriteIni(const std::string& body) { desk.WriteFile("Info.ini", "[LoadInfo]\r\n" + body); }
    static void SetSavedState() {
        Account = "13800138000";
        Password = "pw";
        AutoRun = "1";
        sADSL_Type = "tel";
        AutoLogin = "1";
        NewUser = "0";
    }
    // `file` with {A} and {P} standing for the enciphered account and password.
    static std::string Saved(std::string file) {
        for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{A}", EncryptText("13800138000")},
                                          std::pair<std::string, std::string>{"{P}", EncryptText("pw")}})
            for (std::size_t at; (at = file.find(mark)) != std::string::npos;) file.replace(at, mark.size(), value);
        return file;
    }
};

}  // namespace

TEST_F(Settings, MissingFileChangesNothingAndSaveNeverCreatesIt) {
    LoadSettings();
    EXPECT_EQ(sADSL_Type, "gmcc");
    EXPECT_EQ(WebServer, service::kSiteRoot);
    EXPECT_EQ(SipServer, service::kSecondarySipHost);
    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_TRUE(desk.autostart.registered.empty());

    Account = "13800138000";
    Password = "secret";
    SaveSettings();
    EXPECT_FALSE(desk.Exists("Info.ini"));
    EXPECT_FALSE(desk.Exists("Info.ini.tmp"));
}

TEST_F(Settings, SaveThenLoadRoundTripsEncipheredCredentials) {
    WriteIni("AutoRun=1\r\n");
    Account = "13800138000";
    Password = ZH("密码pw");
    sADSL_Type = "tel";
    AutoLogin = "1";
    AutoRun = "1";
    NewUser = "0";
    SaveSettings();

    const std::string file = desk.ReadFile("Info.ini");
    EXPECT_NE(file.find("account=" + EncryptText("13800138000")), std::string::npos) << file;
    EXPECT_NE(file.find("pwd=" + EncryptText(ZH("密码pw"))), std::string::npos) << file;
    EXPECT_EQ(file.find("13800138000"), std::string::npos) << "plain account must not be stored";

    ResetSharedState();
    LoadSettings();
    EXPECT_EQ(Account, "13800138000");
    EXPECT_EQ(Password, ZH("密码pw"));
    EXPECT_EQ(PwdCipher, EncryptText(ZH("密码pw")));
    EXPECT_EQ(sADSL_Type, "tel");
    EXPECT_EQ(AutoLogin, "1");
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST_F(Settings, KeysAreCaseInsensitiveAndCredentialsTrimmed) {
    WriteIni("ACCOUNT=  " + EncryptText("13900000000") + " \t\r\npWd=" + EncryptText("pw") +
             "\r\nautorun=1\r\nPID= p7 \r\n");
    LoadSettings();
    EXPECT_EQ(Account, "13900000000");
    EXPECT_EQ(Password, "pw");
    EXPECT_EQ(PID, "p7");  // the INI reader drops blanks around values
}

TEST_F(Settings, DefaultsForMissingKeysAndEmptyCredentialsAreNotDeciphered) {
    WriteIni("Account=\r\nPwd=\r\nAutoRun=1\r\n");
    Password = "kept";
    LoadSettings();
    EXPECT_EQ(Account, "");
    EXPECT_EQ(PwdCipher, "");
    EXPECT_EQ(Password, "kept");
    EXPECT_EQ(sADSL_Type, "uni");
    EXPECT_EQ(NewUser, "0");
    EXPECT_EQ(AutoLogin, "");
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST_F(Settings, AutoRunZeroOrMissingRegistersStartAndWritesOne) {
    WriteIni("sADSL_Type=tel\r\n; a comment the user wrote\r\n");
    LoadSettings();
    ASSERT_EQ(desk.autostart.registered.size(), 1u);
    EXPECT_EQ(desk.autostart.registered[0], platform::ExecutablePath());
    EXPECT_EQ(AutoRun, "0") << "memory keeps the value read";
    const std::string file = desk.ReadFile("Info.ini");
    EXPECT_NE(file.find("AutoRun=1"), std::string::npos) << file;
    EXPECT_NE(file.find("sADSL_Type"), std::string::npos) << "other keys survive";

    ResetSharedState();
    desk.autostart.registered.clear();
    LoadSettings();
    EXPECT_EQ(AutoRun, "1");
    EXPECT_TRUE(desk.autostart.registered.empty());
}

TEST_F(Settings, SaveWritesOnlyItsKeysAndKeepsOthers) {
    WriteIni("PID=partner\r\nDebugSipSrv=\r\nAutoRun=1\r\n");
    PID = "changed";
    DebugWebSrv = "x";
    SaveSettings();
    const std::string file = desk.ReadFile("Info.ini");
    EXPECT_NE(file.find("partner"), std::string::npos);
    EXPECT_EQ(file.find("changed"), std::string::npos);
    EXPECT_EQ(file.find("DebugWebSrv"), std::string::npos);
    for (const char* k : {"account", "pwd", "sADSL_Type", "AutoLogin", "NewUser"})
        EXPECT_NE(file.find(k), std::string::npos) << k;
}

TEST_F(Settings, SaveChangesOnlyItsValuesAndKeepsEveryOtherLine) {
    struct Row {
        const char* name;
        std::string before, after;
    };
    const Row rows[] = {
        {"comments, other sections, blanks, spelling and order kept",
         "; written by the installer\n[Other]\nAccount=keep-me\n\n[LOADINFO]\n; credentials below\nPID=p1\n"
         "Account = old\nunknown=x\nAutoRun=0\n\n[Tail]\nz=1\n",
         "; written by the installer\n[Other]\nAccount=keep-me\n\n[LOADINFO]\n; credentials below\nPID=p1\n"
         "Account = {A}\nunknown=x\nAutoRun=1\npwd={P}\nsADSL_Type=tel\nAutoLogin=1\nNewUser=0\n\n[Tail]\nz=1\n"},
        {"section added at the end, after a last line without its end", "[Other]\r\nx=1",
         "[Other]\r\nx=1\r\n[LoadInfo]\r\nAutoRun=1\r\naccount={A}\r\npwd={P}\r\nsADSL_Type=tel\r\nAutoLogin=1\r\n"
         "NewUser=0\r\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[LoadInfo]\r\nAutoRun=1\r\n",
         "\xEF\xBB\xBF[LoadInfo]\r\nAutoRun=1\r\naccount={A}\r\npwd={P}\r\nsADSL_Type=tel\r\nAutoLogin=1\r\n"
         "NewUser=0\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        desk.WriteFile("Info.ini", r.before);
        SetSavedState();
        SaveSettings();
        EXPECT_EQ(desk.ReadFile("Info.ini"), Saved(r.after));
        ResetSharedState();
        LoadSettings();
        EXPECT_EQ(Account, "13800138000") << "read back";
    }
}

#ifndef _WIN32
TEST_F(Settings, RewrittenFileKeepsItsMode) {
    for (const mode_t mode : {0600, 0640, 0664}) {
        SCOPED_TRACE(mode);
        WriteIni("AutoRun=1\r\n");
        ASSERT_EQ(chmod((desk.dir / "Info.ini").c_str(), mode), 0);
        SetSavedState();
        SaveSettings();
        struct stat st {};
        ASSERT_EQ(stat((desk.dir / "Info.ini").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode);
        EXPECT_NE(desk.ReadFile("Info.ini").find("account="), std::string::npos) << "saved";
    }
}

TEST_F(Settings, FolderThatTakesNoNewFileGetsTheFileWrittenInPlace) {
    WriteIni("AutoRun=1\r\n");
    const std::string file = (desk.dir / "Info.ini").string();
    // The folder is not writable for the saving user, the file is: as root,
    // the save runs as "nobody", who owns only the file.
    const auto saveWithoutFolderRights = [&] {
        if (geteuid() != 0) {
            chmod(desk.dir.c_str(), 0555);
            SetSavedState();
            SaveSettings();
            chmod(desk.dir.c_str(), 0755);
            return true;
        }
        if (chown(file.c_str(), 65534, 65534) != 0 || chmod(desk.dir.c_str(), 0755) != 0) return false;
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
            SetSavedState();
            SaveSettings();
            _exit(0);
        }
        int status = -1;
        return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    ASSERT_TRUE(saveWithoutFolderRights());
    EXPECT_EQ(
        desk.ReadFile("Info.ini"),
        Saved("[LoadInfo]\r\nAutoRun=1\r\naccount={A}\r\npwd={P}\r\nsADSL_Type=tel\r\nAutoLogin=1\r\nNewUser=0\r\n"));
    EXPECT_FALSE(desk.Exists("Info.ini.tmp"));
}
#endif

TEST_F(Settings, TooLongCredentialFailsBeforeTheFileIsTouched) {
    WriteIni("AutoRun=1\r\nAccount=" + EncryptText("1") + "\r\n");
    const std::string before = desk.ReadFile("Info.ini");
    Account = std::string(256, '1');
    EXPECT_THROW(SaveSettings(), std::length_error);
    EXPECT_EQ(desk.ReadFile("Info.ini"), before);
}

TEST_F(Settings, DebugSipSrvYesForcesServerNoClearsForThisRunOnly) {
    WriteIni("AutoRun=1\r\nDebugSipSrv=10.0.0.9:5070\r\n");
    desk.dialogs.answers = {true};
    LoadSettings();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "question");
    EXPECT_EQ(desk.dialogs.shown[0].caption, ZH("系统提示"));
    EXPECT_EQ(desk.dialogs.shown[0].text, ZH("您确定要强制登录到 [10.0.0.9:5070]SIP服务器进行调试吗？"));
    EXPECT_EQ(SipServer, "10.0.0.9:5070");

    ResetSharedState();
    desk.dialogs.answers = {false};
    LoadSettings();
    EXPECT_EQ(DebugSipSrv, "");
    EXPECT_EQ(SipServer, service::kSecondarySipHost);
    EXPECT_NE(desk.ReadFile("Info.ini").find("DebugSipSrv=10.0.0.9:5070"), std::string::npos);
}

TEST_F(Settings, DebugWebSrvIsNotNormalised) {
    WriteIni("AutoRun=1\r\nDebugWebSrv=web.example:81/x/\r\n");
    LoadSettings();
    EXPECT_EQ(WebServer, "http://web.example:81/x//");
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "message");
    EXPECT_EQ(desk.dialogs.shown[0].text, ZH("设定DebugWebSrv服务器：") + "http://web.example:81/x//");
}

TEST_F(Settings, BadCipherTextIsReportedOnceAndTheRestStillLoads) {
    WriteIni("AutoRun=0\r\nAccount=0BZZ\r\nPwd=" + EncryptText("pw") + "\r\nsADSL_Type=tel\r\n");
    LoadSettings();
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].text, "'0xZZ' is not a valid integer value");
    EXPECT_EQ(Account, "");
    EXPECT_EQ(Password, "pw");
    EXPECT_EQ(sADSL_Type, "tel");
    EXPECT_EQ(desk.autostart.registered.size(), 1u) << "the steps after the credentials still run";
    // The stored value is kept for the user to fix or overwrite by logging in.
    EXPECT_NE(desk.ReadFile("Info.ini").find("Account=0BZZ"), std::string::npos);
}

TEST(FormRegistry, ClassNamesMatchCaseInsensitivelyWithSameLength) {
    int a = 0, b = 0;
    RegisterForm(&a, "TfrmLogin");
    RegisterForm(&b, "TfrmMain");
    EXPECT_TRUE(FormClassExists("tfrmlogin"));
    EXPECT_TRUE(FormClassExists("TFRMMAIN"));
    EXPECT_FALSE(FormClassExists("TfrmLogin2"));
    EXPECT_FALSE(FormClassExists("TfrmLogi"));
    UnregisterForm(&a);
    EXPECT_FALSE(FormClassExists("TfrmLogin"));
    UnregisterForm(&b);
}
