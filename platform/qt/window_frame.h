// SPDX-License-Identifier: GPL-3.0-or-later
// How the desktop frames and lists the client's windows, where the window
// flags alone do not decide it (X11 window managers, task bars).
#pragma once

class QWidget;

// Marks the window so that task bars and pagers leave it out. Call before
// each showing: window managers drop the mark when a window is hidden.
// Does nothing where the desktop offers no such mark.
void KeepOffTaskbar(QWidget* window);

// For a window whose flags ask for a title bar with the close button only.
// Most window managers follow the flags; some (openbox) draw minimise and
// maximise buttons by the window's type alone and leave them out only for
// tool-bar windows, so the window is typed as one first. Call before each
// showing (Qt types the window anew when it is recreated).
void UseCloseOnlyFrame(QWidget* window);
