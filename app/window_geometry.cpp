// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_geometry.h"

namespace {

// Integer percentages keep the truncation exact (1024 * 0.85 must not come
// out as 870.3999... or 869.99...).
int Percent(int value, int percent) { return value * percent / 100; }

int WidthFor(int w) {
    switch (w) {
    case 800: return w;
    case 1024: return Percent(w, 85);
    case 1280: return Percent(w, 68);
    case 1360:
    case 1366: return Percent(w, 63);
    default: return w <= 1024 ? Percent(w, 90) : Percent(w, 65);
    }
}

}  // namespace

WindowGeometry MainWindowGeometry(int screenWidth, int screenHeight, int leftPanelWidth) {
    WindowGeometry g;
    g.width = WidthFor(screenWidth);
    if (screenHeight > 600) {
        g.top = Percent(screenHeight, 5);
        g.height = Percent(screenHeight, 75);
    } else {
        g.top = 10;
        g.height = Percent(screenHeight, 90);
    }
    g.width += leftPanelWidth;
    g.left = (screenWidth - g.width) / 2;
    return g;
}
