// SPDX-License-Identifier: GPL-3.0-or-later
// The tray icon, the window caption, hiding and showing, and the exit command.
#include <QApplication>
#include <QThread>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <exception>
#include <stdexcept>

#include "app/main_window.h"
#include "call/call_control.h"
#include "core/daily_log.h"
#include "core/form_registry.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_text.h"
#include "windows/login_window.h"

using text::ZH;

namespace {
constexpr std::size_t kTrayTipBytes = 127;  // the tray's tip holds 128 with its terminating zero
}

text::Ansi TrayTipText() {
    const text::Ansi hint = ZH("\n↙ 按右键显示界面");
    if (Account.empty()) return "RaveloZent" + hint;
    return "RaveloZent\n" + Account + hint;
}

text::Ansi MainCaptionText() {
    if (Account.empty()) return "RaveloZent " + ClientVersion;
    return "RaveloZent " + ClientVersion + " [" + Account + "]";
}

text::Ansi CutTrayTip(const text::Ansi& tip) {
    if (tip.size() <= kTrayTipBytes) return tip;
    // Walk whole characters, so the cut never leaves a lone lead byte that
    // would show as a broken glyph.
    std::size_t end = 0;
    while (end < kTrayTipBytes) {
        const unsigned char c = static_cast<unsigned char>(tip[end]);
        const std::size_t step = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
        if (end + step > kTrayTipBytes) break;
        end += step;
    }
    return tip.substr(0, end);
}

bool TfrmMain::TrayIconPresent() const { return tray_ != nullptr; }

bool TfrmMain::UpdateTrayIcon(TrayMode mode) {
    // Tip and caption follow Account and ClientVersion: rebuilt when one of
    // them changed, so the 200 ms display builds nothing on an unchanged tick.
    if (!trayShown_.textsKnown || trayShown_.account != Account || trayShown_.version != ClientVersion) {
        trayShown_.account = Account;
        trayShown_.version = ClientVersion;
        trayShown_.tip = QFromAnsi(CutTrayTip(TrayTipText()));
        trayShown_.caption = QFromAnsi(MainCaptionText());
        trayShown_.textsKnown = true;
    }
    if (windowTitle() != trayShown_.caption) setWindowTitle(trayShown_.caption);

    // The tray host repaints whatever it is handed: an icon and tip it already
    // shows are not handed again (RefreshTrayState forces it).
    const bool free = Call_Status == line_state::kIdle;
    if (mode == TrayMode::modify && tray_ && trayShown_.iconKnown && trayShown_.free == free &&
        trayShown_.tipShown == trayShown_.tip)
        return true;

    // Without a notification area the request simply fails.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    switch (mode) {
    case TrayMode::add: {
        if (tray_) return false;  // already there, as the desktop would answer
        tray_ = new QSystemTrayIcon(this);
        // The tray shows nothing without a picture; the modify that follows
        // the add sets the picture of the current state anyway.
        tray_->setIcon(QIcon(ImageBusy->pixmap().copy(0, 0, 32, 32)));
        trayShown_.iconKnown = false;
        trayShown_.tipShown.clear();
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
            if (r == QSystemTrayIcon::Trigger) TrayNotify(WM_LBUTTONUP);
            if (r == QSystemTrayIcon::Context) TrayNotify(WM_RBUTTONUP);
        });
        tray_->show();
        return true;
    }
    case TrayMode::modify: {
        if (!tray_) return false;
        if (!trayShown_.iconKnown || trayShown_.free != free) {
            const QLabel* picture = free ? ImageFree : ImageBusy;
            tray_->setIcon(QIcon(picture->pixmap().copy(0, 0, 32, 32)));
            trayShown_.free = free;
            trayShown_.iconKnown = true;
        }
        if (trayShown_.tipShown != trayShown_.tip) {
            tray_->setToolTip(trayShown_.tip);
            trayShown_.tipShown = trayShown_.tip;
        }
        return true;
    }
    case TrayMode::del: {
        if (!tray_) return false;
        tray_->hide();
        // The request may come from inside the tray's own signal (its menu).
        tray_->deleteLater();
        tray_ = nullptr;
        return true;
    }
    }
    return false;
}

void TfrmMain::RefreshTrayState() {
    trayShown_.iconKnown = false;  // hand the icon and tip to the tray again
    trayShown_.tipShown.clear();
    UpdateTrayIcon(TrayMode::modify);
    setWindowOpacity(250.0 / 255.0);
    update();
}

void TfrmMain::TrayNotify(int mouseMessage) {
    if (mouseMessage == WM_LBUTTONUP) {
        show();
        if (FormClassExists("TfrmLogin") && frmLogin) frmLogin->CloseLogin();
        raise();
        activateWindow();
        RefreshTrayState();
    } else if (mouseMessage == WM_RBUTTONUP) {
        // In front first, so that the menu closes when the user clicks elsewhere.
        raise();
        activateWindow();
        PopupMenu->popup(QCursor::pos());
    }
}

void TfrmMain::Timer_HideTimer() {
    if (AutoLogin == "1") hide();
    Timer_Hide->stop();
}

void TfrmMain::FormDestroy() { UpdateTrayIcon(TrayMode::del); }

void TfrmMain::ShowFormClick() { show(); }
void TfrmMain::HideFormClick() { hide(); }

void TfrmMain::ShutdownClick() {
    if (!platform::dialogs().AskYesNo(ZH("您确定退出Ravelo吗？"), ZH("系统提示"))) {
        hide();
        return;
    }
    EndSession();
}

void TfrmMain::EndSession() {
    try {
        if (!frmCall) throw std::runtime_error(ZH("呼叫控制窗口不存在"));
        frmCall->DestroyEngine();
        FlushLog();
        UpdateTrayIcon(TrayMode::del);
    } catch (const std::exception& e) {
        platform::dialogs().ShowMessage(ZH("退出异常，详细信息是") + e.what());
    } catch (...) {
        platform::dialogs().ShowMessage(ZH("退出异常，详细信息是"));
    }
    // exit, not quit: a quit asks every window to close first and is called
    // off when one stays (it left the program running now and then with a
    // message window open); the exit steps are done, the loop just ends.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}
