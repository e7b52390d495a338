// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#endif

namespace platform {
namespace {

#ifdef _WIN32
class RunKeyAutoStart final : public AutoStart {
public:
    bool Register(const std::string& exePath) override {
        HKEY key = nullptr;
        // Open without creating: a missing key or no rights end silently.
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\run", 0, KEY_SET_VALUE,
                          &key) != ERROR_SUCCESS)
            return false;
        LONG rc = RegSetValueExA(key, "startup ", 0, REG_SZ, reinterpret_cast<const BYTE*>(exePath.c_str()),
                                 static_cast<DWORD>(exePath.size() + 1));
        RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }
};
RunKeyAutoStart g_real;
#else
// The desktop's equivalent of the run key: an XDG autostart entry.
class XdgAutoStart final : public AutoStart {
public:
    bool Register(const std::string& exePath) override {
        namespace fs = std::filesystem;
        fs::path dir;
        if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
            dir = fs::path(x) / "autostart";
        } else if (const char* h = std::getenv("HOME"); h && *h) {
            dir = fs::path(h) / ".config" / "autostart";
        } else {
            return false;
        }
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec) return false;
        std::ofstream out(dir / "RaveloZent.desktop", std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << "[Desktop Entry]\nType=Application\nName=RaveloZent\nExec=" << Quote(exePath)
            << "\nX-GNOME-Autostart-enabled=true\n";
        return static_cast<bool>(out.flush());
    }

private:
    // Desktop-entry Exec quoting: double quotes, with \ " ` $ escaped.
    static std::string Quote(const std::string& s) {
        std::string r = "\"";
        for (char c : s) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') r += '\\';
            r += c;
        }
        return r + "\"";
    }
};
XdgAutoStart g_real;
#endif

AutoStart* g_current = &g_real;

}  // namespace

AutoStart& autoStart() { return *g_current; }
void SetAutoStart(AutoStart* a) { g_current = a ? a : &g_real; }

}  // namespace platform
