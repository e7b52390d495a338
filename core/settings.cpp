// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

// Values are CP936 bytes: no character conversion in the INI reader.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/password_cipher.h"
#include "core/shared_state.h"
#include "platform/autostart.h"
#include "platform/dialogs.h"
#include "platform/user_files.h"
#include "service_addresses.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

constexpr const char* kSection = "LoadInfo";

bool FileExists(const std::string& path) {
#ifdef _WIN32
    // The path is in the ANSI code page, as GetModuleFileNameA gives it;
    // std::filesystem would read a narrow path in another encoding.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
#endif
}

// Keys are matched without regard to case; values are ANSI bytes as stored.
bool ReadIni(const std::string& path, CSimpleIniA& ini) {
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);  // key=value, as the platform's own INI writer does
    return ini.LoadFile(path.c_str()) >= 0;
}

// Replaces the file in one step, so a crash or a full disk never leaves a
// half-written Info.ini behind.
bool WriteIni(const std::string& path, const CSimpleIniA& ini) {
    std::string data;
    if (ini.Save(data) < 0) return false;
#ifndef _WIN32
    // SimpleIni ends lines with the system's own line end; Info.ini keeps the
    // Windows one everywhere, so both builds write the same bytes.
    std::string crlf;
    crlf.reserve(data.size() + data.size() / 16);
    for (char c : data) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    data.swap(crlf);
#endif
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out.flush()) {
            out.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
#ifdef _WIN32
    const bool moved = MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    const bool moved = !ec;
#endif
    if (!moved) std::remove(tmp.c_str());
    return moved;
}

Ansi Value(const CSimpleIniA& ini, const char* key, const char* def) { return ini.GetValue(kSection, key, def); }

// Deciphers one stored credential. A value that is not valid cipher text is
// reported and gives an empty text, so start-up goes on.
Ansi DecipherOrReport(const Ansi& stored) {
    try {
        return DecryptText(stored);
    } catch (const std::exception& e) {
        platform::dialogs().ShowMessage(e.what());
        return {};
    }
}

}  // namespace

std::string SettingsPath() { return platform::SettingsFile(); }

void LoadSettings() {
    const std::string path = platform::PrepareSettingsFile();
    if (!FileExists(path)) return;
    CSimpleIniA ini;
    if (!ReadIni(path, ini)) return;

    PID = Value(ini, "PID", "");
    Account = text::Trim(Value(ini, "Account", ""));
    PwdCipher = text::Trim(Value(ini, "Pwd", ""));
    AutoLogin = Value(ini, "AutoLogin", "");
    AutoRun = Value(ini, "AutoRun", "0");
    sADSL_Type = Value(ini, "sADSL_Type", "uni");
    NewUser = Value(ini, "NewUser", "0");
    DebugSipSrv = Value(ini, "DebugSipSrv", "");
    DebugWebSrv = Value(ini, "DebugWebSrv", "");

    if (!Account.empty()) Account = DecipherOrReport(Account);
    if (!PwdCipher.empty()) Password = DecipherOrReport(PwdCipher);

    if (!DebugSipSrv.empty()) {
        if (platform::dialogs().AskYesNo(
                text::ZH("您确定要强制登录到 [") + DebugSipSrv + text::ZH("]SIP服务器进行调试吗？"),
                text::ZH("系统提示")))
            SipServer = DebugSipSrv;
        else
            DebugSipSrv.clear();
    }

    if (DebugWebSrv.empty()) {
        WebServer = service::kSiteRoot;
    } else {
        WebServer = "http://" + DebugWebSrv + "/";
        platform::dialogs().ShowMessage(text::ZH("设定DebugWebSrv服务器：") + WebServer);
    }

    if (AutoRun == "0") {
        SetAutoStart(true);
        // Only the one key changes; re-read so nothing else in the file is lost.
        CSimpleIniA again;
        if (ReadIni(path, again)) {
            again.SetValue(kSection, "AutoRun", "1");
            WriteIni(path, again);
        }
    }
}

void SaveSettings() {
    const std::string path = SettingsPath();
    const Ansi account = EncryptText(Account);
    const Ansi pwd = EncryptText(Password);
    if (!FileExists(path)) return;
    CSimpleIniA ini;
    // A file that cannot be read is not overwritten: its settings would be lost.
    if (!ReadIni(path, ini)) return;
    ini.SetValue(kSection, "AutoRun", AutoRun.c_str());
    ini.SetValue(kSection, "account", account.c_str());
    ini.SetValue(kSection, "pwd", pwd.c_str());
    ini.SetValue(kSection, "sADSL_Type", sADSL_Type.c_str());
    ini.SetValue(kSection, "AutoLogin", AutoLogin.c_str());
    ini.SetValue(kSection, "NewUser", NewUser.c_str());
    WriteIni(path, ini);
}

void SetAutoStart(bool enable) {
    if (!enable) return;
    platform::autoStart().Register(platform::StartCommand());
}
