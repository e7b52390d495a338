// SPDX-License-Identifier: GPL-3.0-or-later
// The page the embedded browser shows. The service's page comes over plain
// HTTP, so whatever runs in it may be anybody's: it gets no way to the
// user's own files, and the browser itself never goes to one.
#pragma once
#include <QWebEnginePage>

#include "core/text.h"

class ServicePage final : public QWebEnginePage {
    Q_OBJECT
public:
    explicit ServicePage(QObject* parent);

    // Only web addresses are handed on, to this browser or another program.
    static bool IsWebAddress(const QUrl& address);
    // An address as the log shows it: encoded, and cut where a page could
    // make it endless (a data: address).
    static text::Ansi ForLog(const QUrl& address);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};
