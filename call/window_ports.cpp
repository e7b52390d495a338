// SPDX-License-Identifier: GPL-3.0-or-later
#include "call/window_ports.h"

namespace {
MainWindowPort* g_main = nullptr;
LoginWindowPort* g_login = nullptr;
MessageWindowsPort* g_messages = nullptr;
}  // namespace

void SetMainWindowPort(MainWindowPort* p) { g_main = p; }
void SetLoginWindowPort(LoginWindowPort* p) { g_login = p; }
MainWindowPort* mainWindowPort() { return g_main; }
LoginWindowPort* loginWindowPort() { return g_login; }
void SetMessageWindowsPort(MessageWindowsPort* p) { g_messages = p; }
MessageWindowsPort* messageWindowsPort() { return g_messages; }
