// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service_page.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include "core/daily_log.h"
#include "platform/qt/qt_text.h"

using text::ZH;

ServicePage::ServicePage(QObject* parent) : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent) {
    QWebEngineSettings* s = settings();
    // A page from a file (an error page the engine makes, a saved copy)
    // reads no other file and reaches no server from there.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // Left alone, the engine hands a link of a scheme it does not know
    // ("ssh:", a game launcher's) straight to the desktop's opener.
    s->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
}

bool ServicePage::IsWebAddress(const QUrl& address) {
    const QString scheme = address.scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

text::Ansi ServicePage::ForLog(const QUrl& address) {
    const QString s = address.toString(QUrl::FullyEncoded);
    return AnsiFromQ(s.size() > 200 ? s.left(200) + QStringLiteral("...") : s);
}

bool ServicePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (url.isLocalFile() || url.scheme() == QLatin1String("file")) {
        WriteLog(ZH("网页要打开本机文件，已拒绝：") + ForLog(url));
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}
