// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs.h"

#include <cstdio>

namespace platform {
namespace {

// Before a GUI exists (or in a tool without one) dialogs go to stderr.
class ConsoleDialogs final : public Dialogs {
public:
    void ShowWarningBox(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    }
    void ShowInfoBox(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "[%s] %s -> No\n", caption.c_str(), text.c_str());
        return false;
    }
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ShowWarningMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

ConsoleDialogs g_console;
Dialogs* g_current = &g_console;

}  // namespace

Dialogs& dialogs() { return *g_current; }
void SetDialogs(Dialogs* d) { g_current = d ? d : &g_console; }

}  // namespace platform
