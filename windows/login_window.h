// SPDX-License-Identifier: GPL-3.0-or-later
// The login window: phone number, password and the auto-login choice.
#pragma once
#include <QWidget>

class TfrmLogin : public QWidget {
    Q_OBJECT
public:
    explicit TfrmLogin(QWidget* parent = nullptr);
    ~TfrmLogin() override;
};

extern TfrmLogin* frmLogin;
