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
#include <vector>

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

// A file of plain lines: each line ends in LF or CR LF and is blank, a
// comment, "[name]" or "key=value", with no control bytes. Only there do the
// INI reader and the writer read the same lines and sections; elsewhere (a
// NUL, a lone CR, a "[" line without "]") the reader may join or drop lines.
bool Plain(const std::string& bytes) {
    std::stringstream in(bytes);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        for (char c : l)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
        const std::size_t first = l.find_first_not_of(" \t");
        if (first == std::string::npos || l[first] == ';' || l[first] == '#') continue;
        if (l[first] == '[' ? l.find(']', first) == std::string::npos : l.find('=') == std::string::npos) return false;
    }
    return true;
}

// Every line of `before`, except AutoRun's, stands in `after` in the same
// order: the writer only adds lines (and a line end to a last line without
// one) and changes AutoRun's value.
bool KeepsEveryLine(const std::string& before, const std::string& after) {
    auto lines = [](const std::string& t) {
        std::vector<std::string> out;
        std::stringstream in(t.rfind("\xEF\xBB\xBF", 0) == 0 ? t.substr(3) : t);  // the byte order mark stays first
        for (std::string l; std::getline(in, l);) out.push_back(l.substr(0, l.find_last_not_of('\r') + 1));
        return out;
    };
    const std::vector<std::string> was = lines(before), is = lines(after);
    std::size_t j = 0;
    for (const std::string& l : was) {
        std::string key = l.substr(0, l.find('='));
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (key.find("autorun") != std::string::npos) continue;
        while (j < is.size() && is[j] != l) ++j;
        if (j == is.size()) return false;
        ++j;
    }
    return true;
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
    const std::string written = FileBytes(path);
    // Nothing of the file is lost; in a file of plain lines the reader also
    // finds what was written.
    FUZZ_CHECK(KeepsEveryLine(bytes, written));
    if (!Plain(bytes)) return 0;
    const auto after = Entries(written);
    auto autorun = after.find("loadinfo/autorun");
    FUZZ_CHECK(autorun != after.end() && autorun->second == "1");
    for (const auto& [key, value] : Entries(bytes)) {
        if (key == "loadinfo/autorun") continue;
        auto it = after.find(key);
        FUZZ_CHECK(it != after.end() && it->second == value);
    }
    return 0;
}
