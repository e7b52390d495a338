// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

// Values are CP936 bytes: no character conversion in the INI reader.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/ini_file.h"
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
    return ini.LoadFile(path.c_str()) >= 0;
}

// The whole file as stored; false when it cannot be read.
bool ReadBytes(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Sets values of section "LoadInfo" and nothing else: every other line of
// the file stays as the user or the installer wrote it.
void WriteValues(const std::string& path, const std::vector<std::pair<std::string, std::string>>& values) {
    std::string bytes;
    // A file that cannot be read is not overwritten: its settings would be lost.
    if (!ReadBytes(path, bytes)) return;
    ReplaceFileContent(path, SetIniValues(bytes, kSection, values));
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

// The stored texts, as they are in the file (credentials still enciphered).
struct Stored {
    Ansi pid, account, pwd, autoLogin, autoRun, lineType, newUser, debugSip, debugWeb;
};

Stored StoredValues(const CSimpleIniA& ini) {
    return {Value(ini, "PID", ""),
            text::Trim(Value(ini, "Account", "")),
            text::Trim(Value(ini, "Pwd", "")),
            Value(ini, "AutoLogin", ""),
            Value(ini, "AutoRun", "0"),
            Value(ini, "sADSL_Type", "uni"),
            Value(ini, "NewUser", "0"),
            Value(ini, "DebugSipSrv", ""),
            Value(ini, "DebugWebSrv", "")};
}

}  // namespace

std::string SettingsPath() { return platform::SettingsFile(); }

void LoadSettings() {
    const std::string path = platform::PrepareSettingsFile();
    if (!FileExists(path)) return;
    CSimpleIniA ini;
    if (!ReadIni(path, ini)) return;

    const Stored v = StoredValues(ini);
    PID = v.pid;
    Account = v.account;
    PwdCipher = v.pwd;
    AutoLogin = v.autoLogin;
    AutoRun = v.autoRun;
    sADSL_Type = v.lineType;
    NewUser = v.newUser;
    DebugSipSrv = v.debugSip;
    DebugWebSrv = v.debugWeb;

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
        WriteValues(path, {{"AutoRun", "1"}});
    }
}

bool ReadStoredLogin(StoredLogin& out) {
    const std::string path = platform::SettingsFile();
    if (!FileExists(path)) return false;
    CSimpleIniA ini;
    if (!ReadIni(path, ini)) return false;
    const Stored v = StoredValues(ini);
    try {
        out.account = v.account.empty() ? Ansi() : DecryptText(v.account);
        out.password = v.pwd.empty() ? Ansi() : DecryptText(v.pwd);
    } catch (const std::exception&) {
        return false;  // LoadSettings reports it
    }
    out.autoLogin = v.autoLogin;
    out.lineType = v.lineType;
    out.debugSipSrv = v.debugSip;
    return true;
}

void SaveSettings() {
    const std::string path = SettingsPath();
    const Ansi account = EncryptText(Account);
    const Ansi pwd = EncryptText(Password);
    if (!FileExists(path)) return;
    WriteValues(path, {{"AutoRun", AutoRun},
                       {"account", account},
                       {"pwd", pwd},
                       {"sADSL_Type", sADSL_Type},
                       {"AutoLogin", AutoLogin},
                       {"NewUser", NewUser}});
}

void SetAutoStart(bool enable) {
    if (!enable) return;
    platform::autoStart().Register(platform::StartCommand());
}
