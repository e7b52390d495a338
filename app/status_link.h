// SPDX-License-Identifier: GPL-3.0-or-later
// What the web page's status text tells the client: the link's path, whether
// the text belongs in the status bar, and a phone number from the query.
// Pure text work, so any text a page can produce can be tried on it.
#pragma once
#include "core/text.h"

struct StatusLink {
    text::Ansi path;    // WebPagePath: the path between the web server and "?"
    bool showInPanel;   // a plain browser message, not an address or product text
    text::Ansi number;  // the query's number when it passes the length and digit
                        // checks; empty otherwise
};

// `s` is the status text in code page 936, not empty; `webServer` the base
// address the page's links start with.
StatusLink ParseStatusText(const text::Ansi& s, const text::Ansi& webServer);
