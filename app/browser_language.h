// SPDX-License-Identifier: GPL-3.0-or-later
// The embedded browser speaks the client's language, Simplified Chinese,
// whatever the machine's region: in its own pages (a page that cannot be
// loaded) and in the Accept-Language it sends to the service.
#pragma once

class QWebEngineView;
class QWidget;

// A browser view in the client's language. The first one fixes the browser
// engine's language, so every view is made here.
QWebEngineView* NewClientBrowser(QWidget* parent);
