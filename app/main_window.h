// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: status display, number box, dial pad, web page and tray.
#pragma once
#include <QWidget>

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;
};

extern TfrmMain* frmMain;
