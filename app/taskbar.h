// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a window off the desktop's task bar.
#pragma once

class QWidget;

// Marks the window so that task bars and pagers leave it out. Call before
// each showing: window managers drop the mark when a window is hidden.
// Does nothing where the desktop offers no such mark.
void KeepOffTaskbar(QWidget* window);
