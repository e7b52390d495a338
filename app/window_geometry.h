// SPDX-License-Identifier: GPL-3.0-or-later
// Where the main window goes on a screen of a given size.
#pragma once

struct WindowGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The left column's stored width, added to the window width last.
constexpr int kLeftPanelWidth = 98;

// Width by the screen width, top and height by the screen height, then the
// left column is added to the width; the window stays centred horizontally.
// Products are truncated toward zero, computed exactly in integers.
WindowGeometry MainWindowGeometry(int screenWidth, int screenHeight, int leftPanelWidth = kLeftPanelWidth);
