// SPDX-License-Identifier: GPL-3.0-or-later
// Info.ini moves between the Windows and the Linux build: each reads the
// other's file, and both store the same enciphered account and password.
// fixtures/ holds the file each system saved from the same state; the live
// pair of tests trades fresh files through a folder named by
// RAVELO_INI_EXCHANGE (scripts/wine-tests.sh runs them in turn).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/password_cipher.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "ini_fixtures.h"
#include "tests/support/platform_fakes.h"

using text::ZH;

namespace {

#ifdef _WIN32
constexpr const char* kThisSystem = "windows";
constexpr const char* kOtherSystem = "linux";
const std::string_view kThisFixture = kInfoFrom_windows;
#else
constexpr const char* kThisSystem = "linux";
constexpr const char* kOtherSystem = "windows";
const std::string_view kThisFixture = kInfoFrom_linux;
#endif

// The file as a user's installation has it before the login window saves.
std::string Seed() { return "[LoadInfo]\r\nPID=" + ZH("合作伙伴") + "\r\nAutoRun=1\r\nDebugSipSrv=\r\n"; }

void SetSavedState() {
    Account = "13800138000";
    Password = ZH("密码pw");
    sADSL_Type = "tel";
    AutoLogin = "1";
    AutoRun = "1";
    NewUser = "0";
}

std::string SaveOnThisSystem(const fakes::Desktop& desk) {
    desk.WriteFile("Info.ini", Seed());
    SetSavedState();
    SaveSettings();
    return desk.ReadFile("Info.ini");
}

// The value of `key` in an INI text, "" when the key is missing.
std::string ValueOf(std::string_view file, const std::string& key) {
    std::istringstream in{std::string(file)};
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return "";
}

void ExpectLoaded(const fakes::Desktop& desk, std::string_view file) {
    desk.WriteFile("Info.ini", std::string(file));
    ResetSharedState();
    LoadSettings();
    EXPECT_EQ(Account, "13800138000");
    EXPECT_EQ(Password, ZH("密码pw"));
    EXPECT_EQ(PID, ZH("合作伙伴"));
    EXPECT_EQ(sADSL_Type, "tel");
    EXPECT_EQ(AutoLogin, "1");
    EXPECT_EQ(AutoRun, "1");
    EXPECT_EQ(NewUser, "0");
    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_TRUE(desk.autostart.registered.empty());
}

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(IniExchange, SavingGivesThisSystemsFixtureByteForByte) {
    fakes::Desktop desk;
    EXPECT_EQ(SaveOnThisSystem(desk), kThisFixture);
}

TEST(IniExchange, CredentialsAreTheSameBytesOnBothSystems) {
    for (std::string_view file : {kInfoFrom_linux, kInfoFrom_windows}) {
        EXPECT_EQ(ValueOf(file, "account"), EncryptText("13800138000"));
        EXPECT_EQ(ValueOf(file, "pwd"), EncryptText(ZH("密码pw")));
        EXPECT_EQ(ValueOf(file, "PID"), ZH("合作伙伴")) << "other keys keep their bytes";
        EXPECT_EQ(ValueOf(file, "DebugSipSrv"), "");
    }
}

TEST(IniExchange, EachSystemReadsBothFiles) {
    fakes::Desktop desk;
    {
        SCOPED_TRACE("file saved on Linux");
        ExpectLoaded(desk, kInfoFrom_linux);
    }
    {
        SCOPED_TRACE("file saved on Windows");
        ExpectLoaded(desk, kInfoFrom_windows);
    }
}

TEST(IniExchange, LiveWriteForTheOtherSystem) {
    const char* dir = std::getenv("RAVELO_INI_EXCHANGE");
    if (!dir || !*dir) GTEST_SKIP() << "RAVELO_INI_EXCHANGE is not set";
    fakes::Desktop desk;
    const std::string saved = SaveOnThisSystem(desk);
    std::ofstream out(std::filesystem::path(dir) / (std::string("Info-") + kThisSystem + ".ini"),
                      std::ios::binary | std::ios::trunc);
    out << saved;
    ASSERT_TRUE(out.flush());
}

TEST(IniExchange, LiveReadWhatTheOtherSystemWrote) {
    const char* dir = std::getenv("RAVELO_INI_EXCHANGE");
    if (!dir || !*dir) GTEST_SKIP() << "RAVELO_INI_EXCHANGE is not set";
    const auto path = std::filesystem::path(dir) / (std::string("Info-") + kOtherSystem + ".ini");
    if (!std::filesystem::exists(path)) {
        if (std::getenv("RAVELO_INI_EXCHANGE_REQUIRED")) FAIL() << "missing " << path.string();
        GTEST_SKIP() << "the other system has not written its file yet";
    }
    fakes::Desktop desk;
    const std::string theirs = ReadAll(path);
    EXPECT_EQ(ValueOf(theirs, "account"), EncryptText("13800138000"));
    EXPECT_EQ(ValueOf(theirs, "pwd"), EncryptText(ZH("密码pw")));
    ExpectLoaded(desk, theirs);
}

}  // namespace
