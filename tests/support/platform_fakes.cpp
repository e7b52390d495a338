// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/platform_fakes.h"

#include <fstream>
#include <random>
#include <sstream>

#include "core/shared_state.h"
#include "platform/executable.h"

namespace fakes {

Desktop::Desktop() {
    std::random_device rd;
    dir = std::filesystem::temp_directory_path() / ("ravelo-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(dir);
    oldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    platform::SetExecutableFolderOverride(dir.string());
    platform::SetDialogs(&dialogs);
    platform::SetSound(&sound);
    platform::SetShell(&shell);
    platform::SetAutoStart(&autostart);
    platform::SetClock(&clock);
    ResetSharedState();
}

Desktop::~Desktop() {
    ResetSharedState();
    platform::SetDialogs(nullptr);
    platform::SetSound(nullptr);
    platform::SetShell(nullptr);
    platform::SetAutoStart(nullptr);
    platform::SetClock(nullptr);
    platform::SetExecutableFolderOverride("");
    std::error_code ec;
    std::filesystem::current_path(oldCwd_, ec);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir, ec);
}

void Desktop::WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Desktop::ReadFile(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool Desktop::Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }

}  // namespace fakes
