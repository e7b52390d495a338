// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/browser_language.h"

#include "app/service_page.h"

#include <QLocale>
#include <QWebEngineProfile>
#include <QWebEnginePage>
#include <QWebEngineView>

QWebEngineView* NewClientBrowser(QWidget* parent) {
    // The engine takes its language from the default locale when it starts,
    // which is when the first view is made.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    auto* view = new QWebEngineView(parent);
    view->setPage(new ServicePage(view));
    view->page()->profile()->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
    return view;
}
