// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "core/daily_log.h"
#include "core/shared_state.h"
#include "tests/support/platform_fakes.h"

using text::ZH;

namespace {
class DailyLog : public ::testing::Test {
protected:
    fakes::Desktop desk;
    // Makes the working folder one that was removed under the program:
    // nothing can be created in it, whatever the user's rights.
    void LoseTheWorkingFolder() {
        std::filesystem::create_directories(desk.dir / "gone");
        std::filesystem::current_path(desk.dir / "gone");
        std::filesystem::remove(desk.dir / "gone");
    }
};
}  // namespace

TEST_F(DailyLog, WriteOnlyBuffersWithDateTimeTabAndTextUnchanged) {
    desk.clock.now = {2026, 3, 4, 5, 6, 7};
    WriteLog(ZH("启动 100% \tdone"));
    EXPECT_FALSE(desk.Exists("log"));
    ASSERT_EQ(LogBufferSize(), 1u);
    EXPECT_EQ(LogBufferLines()[0], "2026-03-04 05:06:07\t" + ZH("启动 100% \tdone"));
}

TEST_F(DailyLog, FlushAppendsCrLfLinesToTheAccountsFileAndEmptiesTheBuffer) {
    Account = "13800138000";
    WriteLog("one");
    WriteLog("two\nlines");
    FlushLog();
    EXPECT_EQ(LogBufferSize(), 0u);
    const std::string name = "log/13800138000_20261208.txt";
    EXPECT_EQ(desk.ReadFile(name), "2026-12-08 09:30:00\tone\r\n2026-12-08 09:30:00\ttwo\nlines\r\n");
    WriteLog("three");
    FlushLog();
    EXPECT_EQ(desk.ReadFile(name).substr(desk.ReadFile(name).size() - 7), "three\r\n") << "appended";
}

TEST_F(DailyLog, BeforeLoginTheFileHasNoAccount) {
    WriteLog("x");
    FlushLog();
    EXPECT_TRUE(desk.Exists("log/_20261208.txt"));
    EXPECT_EQ(LogFileName(), "log\\_20261208.txt");
}

TEST_F(DailyLog, FlushAfterMidnightWritesIntoTheNewDaysFile) {
    Account = "1";
    desk.clock.now = {2026, 12, 31, 23, 59, 58};
    WriteLog("late");
    desk.clock.now = {2027, 1, 1, 0, 0, 3};
    FlushLog();
    EXPECT_FALSE(desk.Exists("log/1_20261231.txt"));
    EXPECT_EQ(desk.ReadFile("log/1_20270101.txt"), "2026-12-31 23:59:58\tlate\r\n");
}

TEST_F(DailyLog, EmptyFlushStillCreatesFolderAndFile) {
    FlushLog();
    EXPECT_TRUE(desk.Exists("log/_20261208.txt"));
    EXPECT_EQ(desk.ReadFile("log/_20261208.txt"), "");
}

TEST_F(DailyLog, LogFolderReplacedByAFileKeepsTheBufferSilently) {
    desk.WriteFile("log", "not a folder");
    WriteLog("a");
    FlushLog();
    WriteLog("b");
    FlushLog();
    EXPECT_EQ(LogBufferSize(), 2u);
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST_F(DailyLog, UncreatableFolderShowsTheReasonAndKeepsTheLines) {
    // A working folder that was removed under the program: nothing can be
    // created in it, whatever the user's rights.
#ifdef _WIN32
    GTEST_SKIP() << "Windows does not let a process's working folder be removed";
#endif
    LoseTheWorkingFolder();
    // The 5-second flush goes on while the box is open: no second box in it.
    desk.dialogs.whileOpen = [] { FlushLog(); };
    WriteLog("kept");
    FlushLog();
    EXPECT_EQ(LogBufferSize(), 1u);
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, "message");
    EXPECT_EQ(desk.dialogs.shown[0].text.rfind(ZH("创建日志目录失败，详细信息是"), 0), 0u);
    EXPECT_GT(desk.dialogs.shown[0].text.size(), ZH("创建日志目录失败，详细信息是").size());
    FlushLog();
    EXPECT_EQ(desk.dialogs.shown.size(), 2u) << "once closed, the next flush reports again";
}

#ifndef _WIN32
TEST_F(DailyLog, FolderErrorIsShownFromTheSystemsCodePage) {
    // A system whose messages are Chinese in GBK: a small GBK locale built
    // for this test, and the C library's Chinese messages chosen by LANGUAGE.
    const std::string locales = (desk.dir / "locales").string();
    std::filesystem::create_directories(locales);
    if (std::system(("localedef -i C -f GBK " + locales + "/C.GBK >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "localedef cannot build a GBK locale (Debian: locales)";
    setenv("LOCPATH", locales.c_str(), 1);
    setenv("LANGUAGE", "zh_CN", 1);
    ASSERT_NE(std::setlocale(LC_ALL, "C.GBK"), nullptr);
    LoseTheWorkingFolder();
    FlushLog();
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    unsetenv("LANGUAGE");
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    const text::Ansi reason = desk.dialogs.shown[0].text.substr(ZH("创建日志目录失败，详细信息是").size());
    if (reason == "No such file or directory") GTEST_SKIP() << "no Chinese messages of the C library (libc-l10n)";
    EXPECT_EQ(reason, ZH("没有那个文件或目录"));
}

TEST_F(DailyLog, FolderAndFilesAreTheOwnersOnly) {
    // They hold the account and the service's tokens.
    WriteLog("x");
    FlushLog();
    struct stat folder {};
    struct stat file {};
    ASSERT_EQ(stat("log", &folder), 0);
    ASSERT_EQ(stat("log/_20261208.txt", &file), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
}
#endif

TEST_F(DailyLog, AccountCannotLeadTheFileOutOfTheLogFolder) {
    Account = "../../evil";
    WriteLog("x");
    FlushLog();
    EXPECT_TRUE(desk.Exists("log/.._.._evil_20261208.txt"));
}
