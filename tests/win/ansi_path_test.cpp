// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the executable's path comes from the ANSI API in the system code
// page; with code page 936 a Chinese folder name is CP936 bytes, and Info.ini
// must be found, read and saved there like anywhere else.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "core/password_cipher.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/executable.h"
#include "tests/support/platform_fakes.h"

using text::ZH;

namespace {

TEST(AnsiPath, InfoIniInAChineseFolderIsReadAndSaved) {
    if (GetACP() != 936) GTEST_SKIP() << "the system code page is " << GetACP() << ", not 936";
    fakes::Desktop desk;
    const std::u16string name = u"用户目录";
    const std::filesystem::path folder = desk.dir / std::wstring(name.begin(), name.end());
    std::filesystem::create_directories(folder);
    {
        std::ofstream out(folder / L"Info.ini", std::ios::binary);
        out << "[LoadInfo]\r\nAutoRun=1\r\nAccount=" << EncryptText("13800138000") << "\r\n";
    }
    // What GetModuleFileNameA gives for such a folder: CP936 bytes.
    platform::SetExecutableFolderOverride(desk.dir.string() + "\\" + ZH("用户目录"));
    LoadSettings();
    EXPECT_EQ(Account, "13800138000");

    Password = "pw";
    SaveSettings();
    std::ifstream in(folder / L"Info.ini", std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(file.find("pwd=" + EncryptText("pw")), std::string::npos) << file;
    EXPECT_FALSE(std::filesystem::exists(folder / L"Info.ini.tmp"));
}

}  // namespace
