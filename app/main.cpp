// SPDX-License-Identifier: GPL-3.0-or-later
// Application entry: the four windows in their order, then the message loop.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QSocketNotifier>

#include <fcntl.h>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include <vector>

#include "app/browser_engine.h"
#include "app/main_window.h"
#include "call/call_control.h"
#include "call/early_login.h"
#include "platform/display_session.h"
#include "platform/qt/caret_rest.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_resume.h"
#include "platform/qt/startup_timing.h"
#include "windows/login_window.h"
#include "windows/message_window.h"

namespace {
// The handler only writes a byte to this pipe (all it may safely do); the
// loop wakes on it. No timer polls for a signal while the program is idle.
int g_signalPipe[2] = {-1, -1};
void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &byte, 1);
}
}  // namespace

int main(int argc, char* argv[]) {
    platform::MarkStartup("main entered");
    // The browser engine refuses to start as root unless its sandbox is off.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);

    // In a Wayland session the windows go through XWayland, where they can be
    // placed and kept off the task bar, unless the user chose a platform.
    if (const std::string qpa = platform::ChooseQtPlatform(platform::CurrentSessionEnvironment()); !qpa.empty())
        setenv("QT_QPA_PLATFORM", qpa.c_str(), 1);

    // From the start, so that a session ending during start-up still ends
    // through the exit steps once the loop runs.
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        std::signal(SIGTERM, OnTerminate);
        std::signal(SIGINT, OnTerminate);
    }

    // How the embedded browser draws is settled before the application exists.
    std::vector<char*> args = browser::PrepareEngine(argc, argv);
    int count = static_cast<int>(args.size()) - 1;

    // An automatic login registers while the toolkit and the browser load
    // (call/early_login.h). Its thread starts after the environment is set
    // and with the locale the toolkit sets anyway, so that neither changes
    // under it.
    std::setlocale(LC_ALL, "");
    StartEarlyLogin();
    QApplication app(count, args.data());
    browser::FinishEngineSetup();
    platform::MarkStartup("application made");
    // The application title. No display name: Qt would append it to every
    // window caption, and the main window's caption is exact.
    QApplication::setApplicationName("RaveloZent");
    QApplication::setQuitOnLastWindowClosed(false);  // the tray keeps the program alive
    // The windows ask for 宋体; where it is missing, Simplified Chinese shapes
    // of the CJK face stand in (the fallback would pick Japanese ones).
    if (!QFontDatabase::families().contains(QString::fromUtf8("宋体"))) {
        QFont::insertSubstitution(QString::fromUtf8("宋体"), "Noto Sans CJK SC");
        QFont::insertSubstitution("SimSun", "Noto Sans CJK SC");
    }
    platform::InstallQtPlatform();
    platform::WatchSystemResume();
    platform::RestCaretWhenIdle();

    frmMain = new TfrmMain;
    frmCall = new TfrmCall;
    frmLogin = new TfrmLogin(frmMain);  // belongs to the main window: modal to it alone
    frmMessage = new TfrmMessage;
    platform::MarkStartup("windows made");
    frmMain->show();  // the main form is shown once the windows exist

    // A session that ends (SIGTERM, SIGINT) takes the exit command's steps,
    // without its question: the lines still in memory reach the log and the
    // engine unregisters.
    QSocketNotifier signalWatch(g_signalPipe[0], QSocketNotifier::Read);
    signalWatch.setEnabled(g_signalPipe[0] >= 0);
    QObject::connect(&signalWatch, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(g_signalPipe[0], bytes, sizeof bytes) > 0) {}
        if (frmMain) frmMain->EndSession();
    });

    int rc = app.exec();
    delete frmMessage;
    delete frmLogin;
    delete frmCall;
    delete frmMain;
    return rc;
}
