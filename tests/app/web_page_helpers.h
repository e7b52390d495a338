// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's browser with a page of the test's own, so that the start
// page (which may or may not load) cannot report anything in the middle of a
// case.
#pragma once
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/main_window.h"

// Shows the window with `html` in its browser; true once the page is loaded.
inline bool ShowWithPage(TfrmMain& w, const QString& html) {
    w.show();
    w.CppWebBrowser->show();
    QSignalSpy loaded(w.CppWebBrowser->page(), &QWebEnginePage::loadFinished);
    w.CppWebBrowser->setHtml(html, QUrl("http://127.0.0.1/"));
    return QTest::qWaitFor(
        [&loaded] {
            for (const QList<QVariant>& args : loaded)
                if (args.value(0).toBool()) return true;
            return false;
        },
        20000);
}
