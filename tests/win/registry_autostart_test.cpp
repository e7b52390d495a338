// SPDX-License-Identifier: GPL-3.0-or-later
// The start-with-Windows value in the real registry: written by SetAutoStart
// and by the first start of LoadSettings, read back with the registry API.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/autostart.h"
#include "platform/executable.h"
#include "tests/support/platform_fakes.h"

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\run";
constexpr const char* kValueName = "startup ";

// Reads a value of the run key; false when it is not there.
bool ReadRunValue(const char* name, std::string& data, DWORD& type) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char buf[1024] = {};
    DWORD size = sizeof buf - 1;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    data.assign(buf, size > 0 && buf[size - 1] == '\0' ? size - 1 : size);
    return true;
}

// The program never deletes the value; the tests clean up after themselves.
class RunKey : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            GTEST_SKIP() << "no write access to the machine's run key";
        RegCloseKey(key);
        DeleteValue();
    }
    void TearDown() override { DeleteValue(); }
    static void DeleteValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, kValueName);
            RegCloseKey(key);
        }
    }
};

TEST_F(RunKey, SetAutoStartWritesTheExecutablesFullPathUnderTheNameWithItsBlank) {
    platform::SetAutoStart(nullptr);  // the real registry
    SetAutoStart(true);
    std::string data;
    DWORD type = 0;
    ASSERT_TRUE(ReadRunValue(kValueName, data, type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, platform::ExecutablePath());
    ASSERT_GT(data.size(), 3u);
    EXPECT_EQ(data.substr(1, 2), ":\\") << "a full path with its drive: " << data;
    EXPECT_EQ(data.substr(data.size() - 4), ".exe");
    EXPECT_FALSE(ReadRunValue("startup", data, type)) << "the name ends in a blank";
}

TEST_F(RunKey, FalseWritesNothingAndTrueAgainOverwrites) {
    platform::SetAutoStart(nullptr);
    SetAutoStart(false);
    std::string data;
    DWORD type = 0;
    EXPECT_FALSE(ReadRunValue(kValueName, data, type));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const char old[] = "C:\\old\\place.exe";
    RegSetValueExA(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof old);
    RegCloseKey(key);
    SetAutoStart(true);
    ASSERT_TRUE(ReadRunValue(kValueName, data, type));
    EXPECT_EQ(data, platform::ExecutablePath());
}

TEST_F(RunKey, FirstStartWithoutAutoRunRegistersAndWritesAutoRunIntoTheFile) {
    fakes::Desktop desk;
    platform::SetAutoStart(nullptr);
    desk.WriteFile("Info.ini", "[LoadInfo]\r\nsADSL_Type=tel\r\n");
    LoadSettings();
    std::string data;
    DWORD type = 0;
    ASSERT_TRUE(ReadRunValue(kValueName, data, type));
    EXPECT_EQ(data, platform::ExecutablePath());
    EXPECT_NE(desk.ReadFile("Info.ini").find("AutoRun=1"), std::string::npos);
    EXPECT_EQ(AutoRun, "0");
}

TEST_F(RunKey, MissingInfoIniLeavesTheRegistryAlone) {
    fakes::Desktop desk;
    platform::SetAutoStart(nullptr);
    LoadSettings();
    std::string data;
    DWORD type = 0;
    EXPECT_FALSE(ReadRunValue(kValueName, data, type));
}

}  // namespace
