// SPDX-License-Identifier: GPL-3.0-or-later
// The service's web page talks to the client only through ordinary links:
// hovering a call link puts its number into the number box, and the user's
// click that opens it in a new window starts the call here instead. Right clicks never reach the
// page, so the browser's own context menu never opens.
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/main_window.h"
#include "app/service_page.h"
#include "app/status_link.h"
#include "core/daily_log.h"
#include "core/shared_state.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/startup_timing.h"
#include "platform/shell.h"

using text::Ansi;
using text::ZH;

namespace {

const char* const kIpCallPath = "/user/ip_call.php";
const char* const kBridgeCallPath = "/user/bridge_call.php";

// Installed on the application: sees every event before its receiver does.
class ApplicationEventsHook final : public QObject {
public:
    explicit ApplicationEventsHook(TfrmMain* owner) : QObject(owner), owner_(owner) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~ApplicationEventsHook() override {
        if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        // The cheap test first: this runs for every event of the program.
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: return owner_->ApplicationEventsMessage(watched, e);
        default: return false;
        }
    }

private:
    TfrmMain* owner_;
};

}  // namespace

void TfrmMain::ConnectWebEvents() {
    QWebEnginePage* page = CppWebBrowser->page();
    connect(page, &QWebEnginePage::linkHovered, this, [this](const QString& link) {
        hoveredLink_ = link;  // empty once the pointer has left the link
        CppWebBrowserStatusTextChange(link);
    });
    // The engine has no status line of its own; a finished page gives the
    // plain message a browser shows then.
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok && CppWebBrowser->url().path().endsWith("action_client.php"))
            platform::MarkStartup("service page loaded");
        if (ok) CppWebBrowserStatusTextChange(QString::fromUtf8("完成"));
    });
    // Not opening the requested window is what cancels it. The decision runs
    // once the engine's callback has returned, since a call or a bridge-call
    // order may show modal dialogs.
    connect(page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        const QUrl address = request.requestedUrl();
        const bool byUser = request.isUserInitiated();
        QTimer::singleShot(0, this, [this, address, byUser] { CppWebBrowserNewWindow(address, byUser); });
    });
    ApplicationEvents = new ApplicationEventsHook(this);
}

void TfrmMain::CppWebBrowserStatusTextChange(const QString& text) {
    const Ansi s = AnsiFromQ(text);
    if (s.empty()) return;  // the pointer left a link: keep what we have

    const StatusLink link = ParseStatusText(s, WebServer);
    WebPagePath = link.path;
    if (link.showInPanel) StatusPanel1->setText(QFromAnsi(s));
    if (!link.number.empty() && Call_Status == line_state::kIdle) PhoneNum->setEditText(QFromAnsi(link.number));
}

void TfrmMain::CppWebBrowserNewWindow(const QUrl& address, bool byUser) {
    // The page is not to be trusted (it comes over plain HTTP): only the
    // user's own click or key starts a call or another program.
    if (!byUser) {
        LogDropped(ZH("网页自行打开新窗口，已忽略："), address);
        return;
    }
    // A click lends the page's scripts its right to open a window for a few
    // seconds, also a click beside the links: only the window of the link
    // under the pointer (or the key's focus) is the user's.
    if (hoveredLink_.isEmpty() || QUrl(hoveredLink_) != address) {
        LogDropped(ZH("网页打开的新窗口不是所点的链接，已忽略："), address);
        return;
    }
    bool cancel = false;
    CppWebBrowserNewWindow2(cancel);
    if (cancel) return;
    // Any other scheme would start whatever program claims it.
    if (!ServicePage::IsWebAddress(address)) {
        LogDropped(ZH("网页要打开的地址不是网页，已忽略："), address);
        return;
    }
    platform::shell().Open(AnsiFromQ(address.toString(QUrl::FullyEncoded)));
}

void TfrmMain::LogDropped(const text::Ansi& why, const QUrl& address) {
    // A script on a timer asks again and again: each address is logged once,
    // and only so many of them.
    const text::Ansi shown = ServicePage::ForLog(address);
    if (droppedLogged_.size() >= kDroppedLogged || !droppedLogged_.insert(why + shown).second) return;
    WriteLog(why + shown);
}

void TfrmMain::CppWebBrowserNewWindow2(bool& cancel) {
    if (WebPagePath != kIpCallPath && WebPagePath != kBridgeCallPath) return;
    cancel = true;
    if (Call_Status == line_state::kIdle && WebPagePath == kIpCallPath) spbAnswerClick();
    // Read again: the IP call may have changed the line state already.
    if (Call_Status == line_state::kIdle && WebPagePath == kBridgeCallPath) spbBridgeCallClick();
}

bool TfrmMain::ApplicationEventsMessage(QObject* target, QEvent* message) {
    bool handled = false;
    const QEvent::Type type = message->type();
    // A second right press in quick succession comes as a double click: it is
    // a press all the same.
    const bool rightButton = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                              type == QEvent::MouseButtonDblClick) &&
                             static_cast<QMouseEvent*>(message)->button() == Qt::RightButton;
    if (rightButton && target->isWidgetType() && CppWebBrowser) {
        auto* w = static_cast<QWidget*>(target);
        if (w != CppWebBrowser && CppWebBrowser->isAncestorOf(w)) handled = true;
    }
    return handled;
}
