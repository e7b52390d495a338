// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as Info.ini: loading never throws or crashes, deciphering
// failures are reported once each, the servers follow the debugging keys, and
// the one key the loader writes back (AutoRun) loses nothing else of the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "tests/fuzz/fuzz_check.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/executable.h"
#include "service_addresses.h"
#include "tests/support/platform_fakes.h"

namespace {

struct Folder {
    std::string dir;
    fakes::Dialogs dialogs;
    fakes::AutoStart autostart;
    Folder() {
        // Memory-backed when there is one: every input is written to disk.
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/fuzz_settings.XXXXXX";
        dir = mkdtemp(pattern.data()) ? pattern : "";
        platform::SetExecutableFolderOverride(dir);
        platform::SetDialogs(&dialogs);
        platform::SetAutoStart(&autostart);
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    static Folder& Get() {
        static Folder f;
        return f;
    }
};

// A section name that the INI format can write back as it was read; the
// reader also takes names that run over a line end or hold a "]", which no
// writer can reproduce. Keys before the first section are left out too: the
// writer puts them first in the file, where a leading byte-order mark in a
// key's name would be taken for the file's own and dropped.
bool Writable(const char* name) {
    if (!*name) return false;
    for (const char* p = name; *p; ++p)
        if (static_cast<unsigned char>(*p) < 0x20 || *p == ']') return false;
    return true;
}

// Every key and value of every writable section, as the loader's INI reader
// sees them in `bytes`.
std::map<std::string, std::string> Entries(const std::string& bytes) {
    std::map<std::string, std::string> out;
    CSimpleIniA ini;
    ini.SetUnicode(false);
    ini.SetSpaces(false);
    if (ini.LoadData(bytes.data(), bytes.size()) < 0) return out;
    CSimpleIniA::TNamesDepend sections, keys;
    ini.GetAllSections(sections);
    for (const auto& s : sections) {
        if (!Writable(s.pItem)) continue;
        ini.GetAllKeys(s.pItem, keys);
        for (const auto& k : keys) {
            std::string name = std::string(s.pItem) + "/" + k.pItem;
            for (char& c : name)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            out[name] = ini.GetValue(s.pItem, k.pItem, "");
        }
    }
    return out;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Folder& f = Folder::Get();
    const std::string path = SettingsPath();
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ResetSharedState();
    f.dialogs.shown.clear();
    f.dialogs.answers = {(data[0] & 1) != 0};
    f.autostart.registered.clear();

    try {
        LoadSettings();
    } catch (...) {
        std::abort();  // nothing in a file may end the start-up
    }

    std::size_t messages = 0;
    for (const auto& d : f.dialogs.shown) messages += d.kind == "message";
    FUZZ_CHECK(messages <= 3);  // at most the account, the password and the web server notice
    if (DebugWebSrv.empty())
        FUZZ_CHECK(WebServer == service::kSiteRoot);
    else
        FUZZ_CHECK(WebServer == "http://" + DebugWebSrv + "/");
    if (!DebugSipSrv.empty()) FUZZ_CHECK(SipServer == DebugSipSrv);

    if (AutoRun != "0") {
        FUZZ_CHECK(f.autostart.registered.empty());
        return 0;  // nothing was written
    }
    FUZZ_CHECK(f.autostart.registered.size() == 1);
    const auto after = Entries(FileBytes(path));
    auto autorun = after.find("loadinfo/autorun");
    FUZZ_CHECK(autorun != after.end() && autorun->second == "1");
    for (const auto& [key, value] : Entries(bytes)) {
        if (key == "loadinfo/autorun") continue;
        auto it = after.find(key);
        FUZZ_CHECK(it != after.end() && it->second == value);
    }
    return 0;
}
