// SPDX-License-Identifier: GPL-3.0-or-later
// An installed client keeps each user's settings and log in the user's own
// folders, seeded once from the package's Info.ini; the tones come from the
// package. (The portable layout is what the core and app tests run on.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/daily_log.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/executable.h"
#include "platform/user_files.h"
#include "tests/support/platform_fakes.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The desk's folder stands in for the package's program folder, so the
// client counts as installed even when the tests run as root.
class Installed : public ::testing::Test {
protected:
    fakes::Desktop desk;
    fs::path home = desk.dir / "home";
    platform::InstallFolders folders{desk.dir.string(), (desk.dir / "etc/Info.ini").string(),
                                     (desk.dir / "share").string(), "ravelozent"};
    ScopedEnv homeEnv{"HOME", home.string()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", (home / "cfg").string()};
    ScopedEnv stateEnv{"XDG_STATE_HOME", (home / "state").string()};
    fs::path userIni = home / "cfg/RaveloZent/Info.ini";

    Installed() {
        fs::create_directories(home);
        fs::create_directories(desk.dir / "etc");
        desk.WriteFile("etc/Info.ini", "[LoadInfo]\r\nPID=p42\r\nsADSL_Type=tel\r\nNewUser=1\r\nAutoRun=0\r\n");
        platform::SetInstallFolders(&folders);
    }
    ~Installed() override { platform::SetInstallFolders(nullptr); }

    std::string UserIni() const { return desk.ReadFile(fs::relative(userIni, desk.dir).string()); }
    static unsigned Mode(const fs::path& p) {
        struct stat st {};
        return stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
    }
};

}  // namespace

TEST_F(Installed, FirstStartCopiesThePackagesIniAndStartsWithTheLauncher) {
    LoadSettings();
    EXPECT_EQ(PID, "p42");
    EXPECT_EQ(sADSL_Type, "tel");
    EXPECT_EQ(NewUser, "1");
    EXPECT_EQ(Mode(userIni.parent_path()), 0700u);
    ASSERT_EQ(desk.autostart.registered.size(), 1u);
    EXPECT_EQ(desk.autostart.registered[0], "ravelozent");
    EXPECT_NE(UserIni().find("AutoRun=1"), std::string::npos) << "the user's copy takes the change";
    EXPECT_EQ(desk.ReadFile("etc/Info.ini").find("AutoRun=1"), std::string::npos) << "the package's stays";
    EXPECT_FALSE(desk.Exists("Info.ini")) << "nothing beside the program";

    Account = "13800138000";
    Password = "123456";
    SaveSettings();
    EXPECT_NE(UserIni().find("account="), std::string::npos);
    EXPECT_EQ(desk.ReadFile("etc/Info.ini").find("account="), std::string::npos);
}

TEST_F(Installed, LaterStartsNeitherOverwriteNorRecreateTheUsersIni) {
    fs::create_directories(userIni.parent_path());
    desk.WriteFile(fs::relative(userIni, desk.dir).string(), "[LoadInfo]\r\nPID=mine\r\nAutoRun=1\r\n");
    LoadSettings();
    EXPECT_EQ(PID, "mine");
    EXPECT_EQ(UserIni(), "[LoadInfo]\r\nPID=mine\r\nAutoRun=1\r\n");

    // The user removed the file: the folder says the client ran before.
    fs::remove(userIni);
    ResetSharedState();
    LoadSettings();
    Account = "13800138000";
    SaveSettings();
    EXPECT_FALSE(fs::exists(userIni));
    EXPECT_EQ(PID, "");
}

TEST_F(Installed, LogGoesToTheUsersStateFolderAndTonesComeFromThePackage) {
    Account = "13800138000";
    WriteLog("one");
    FlushLog();
    const fs::path log = home / "state/RaveloZent/log/13800138000_20261208.txt";
    EXPECT_EQ(desk.ReadFile(fs::relative(log, desk.dir).string()), "2026-12-08 09:30:00\tone\r\n");
    EXPECT_EQ(platform::NativePath(LogFileName()), log.string()) << "the log viewer opens this file";
    EXPECT_FALSE(desk.Exists("log"));
    EXPECT_EQ(platform::NativePath(platform::DataFile("sound\\ring.wav")),
              (desk.dir / "share/sound/ring.wav").string());
}

TEST_F(Installed, XdgFoldersFollowTheBaseDirectoryRules) {
    struct Case {
        std::optional<std::string> config, state;
        fs::path ini, logFolder;
    } cases[] = {
        {std::nullopt, std::nullopt, home / ".config/RaveloZent/Info.ini", home / ".local/state/RaveloZent/log"},
        {"", "", home / ".config/RaveloZent/Info.ini", home / ".local/state/RaveloZent/log"},
        {"relative/cfg", "relative/st", home / ".config/RaveloZent/Info.ini", home / ".local/state/RaveloZent/log"},
        {(home / "c").string(), (home / "s").string(), home / "c/RaveloZent/Info.ini", home / "s/RaveloZent/log"},
    };
    for (const Case& c : cases) {
        ScopedEnv config("XDG_CONFIG_HOME", c.config);
        ScopedEnv state("XDG_STATE_HOME", c.state);
        EXPECT_EQ(platform::SettingsFile(), c.ini.string()) << c.config.value_or("(unset)");
        EXPECT_EQ(platform::LogFolder(), c.logFolder.string()) << c.state.value_or("(unset)");
    }
}

TEST(PortableCopy, AWritableProgramFolderKeepsTheFilesWhereTheyAlwaysWere) {
    fakes::Desktop desk;
    EXPECT_FALSE(platform::InstalledLayout());
    EXPECT_EQ(platform::SettingsFile(), desk.dir.string() + "/Info.ini");
    EXPECT_EQ(LogFileName(), "log\\_20261208.txt");
    EXPECT_EQ(platform::DataFile("sound\\ring.wav"), "sound\\ring.wav");
    EXPECT_EQ(platform::StartCommand(), platform::ExecutablePath());
}
