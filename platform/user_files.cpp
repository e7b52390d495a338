// SPDX-License-Identifier: GPL-3.0-or-later
#include "user_files.h"

#include "executable.h"

#ifndef _WIN32
#include <fcntl.h>
#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#endif

#ifndef RAVELO_INSTALL_PROGRAM_DIR
#define RAVELO_INSTALL_PROGRAM_DIR "/usr/lib/ravelozent"
#define RAVELO_INSTALL_SEED_INI "/etc/ravelozent/Info.ini"
#define RAVELO_INSTALL_DATA_DIR "/usr/share/ravelozent"
#define RAVELO_INSTALL_COMMAND "ravelozent"
#endif

namespace platform {
namespace {

const InstallFolders kBuiltIn{RAVELO_INSTALL_PROGRAM_DIR, RAVELO_INSTALL_SEED_INI, RAVELO_INSTALL_DATA_DIR,
                              RAVELO_INSTALL_COMMAND};
const InstallFolders* g_folders = &kBuiltIn;

constexpr const char* kAppFolder = "RaveloZent";

#ifndef _WIN32
namespace fs = std::filesystem;

std::string Home() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are to be ignored), else its default under the home folder.
fs::path XdgFolder(const char* variable, const char* fallback) {
    if (const char* v = std::getenv(variable); v && v[0] == '/') return v;
    return fs::path(Home()) / fallback;
}

fs::path UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config") / kAppFolder; }
fs::path UserStateFolder() { return XdgFolder("XDG_STATE_HOME", ".local/state") / kAppFolder; }

// The user's own folder for the client: parents as the system makes them,
// the folder itself private to the user.
bool MakeUserFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    fs::create_directories(folder.parent_path(), ec);
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Copies the package's Info.ini to `to`, which must not exist yet.
void CopySeed(const std::string& from, const fs::path& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return;
    const int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return;
    char buf[4096];
    bool ok = true;
    while (ok && in) {
        in.read(buf, sizeof buf);
        const std::streamsize n = in.gcount();
        ok = n <= 0 || write(fd, buf, static_cast<size_t>(n)) == n;
    }
    ok = close(fd) == 0 && ok && in.eof();
    // A half copy would be taken for the user's settings from then on.
    if (!ok) unlink(to.c_str());
}
#endif

}  // namespace

bool InstalledLayout() {
#ifdef _WIN32
    return false;
#else
    const std::string folder = ExecutableFolder();
    std::error_code ec;
    if (fs::equivalent(folder, g_folders->program, ec)) return true;
    // A folder the user cannot write counts as installed, unless it holds an
    // Info.ini the user can write: that file is then kept and written in place.
    return access(folder.c_str(), W_OK) != 0 && access((folder + "Info.ini").c_str(), W_OK) != 0;
#endif
}

std::string SettingsFile() {
#ifndef _WIN32
    if (InstalledLayout()) return (UserConfigFolder() / "Info.ini").string();
#endif
    return ExecutableFolder() + "Info.ini";
}

std::string PrepareSettingsFile() {
#ifndef _WIN32
    if (InstalledLayout()) {
        const fs::path folder = UserConfigFolder();
        std::error_code ec;
        if (!fs::exists(folder, ec) && MakeUserFolder(folder)) CopySeed(g_folders->seedIni, folder / "Info.ini");
    }
#endif
    return SettingsFile();
}

std::string LogFolder() {
#ifndef _WIN32
    if (InstalledLayout()) {
        const fs::path folder = UserStateFolder();
        MakeUserFolder(folder);
        return (folder / "log").string();
    }
#endif
    return "log";
}

std::string DataFile(const std::string& relative) {
#ifndef _WIN32
    if (InstalledLayout()) return g_folders->data + "/" + relative;
#endif
    return relative;
}

std::string StartCommand() { return InstalledLayout() ? g_folders->command : ExecutablePath(); }

void SetInstallFolders(const InstallFolders* folders) { g_folders = folders ? folders : &kBuiltIn; }

}  // namespace platform
