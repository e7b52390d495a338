// SPDX-License-Identifier: GPL-3.0-or-later
// The login window: phone number, password and the auto-login choice. It
// never logs in by itself: on acceptance it stores the credentials and the
// options, saves Info.ini and closes with LoginAccepted set; the call
// control, which showed it modally, then starts the login.
#pragma once
#include <QDialog>
#include <QPoint>

#include "call/window_ports.h"
#include "core/text.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The registration page for the phone text as typed: the fixed site root,
// the values unencoded and untrimmed.
text::Ansi RegistrationAddress(const text::Ansi& phoneText);

class TfrmLogin : public QDialog, public LoginWindowPort {
    Q_OBJECT
public:
    explicit TfrmLogin(QWidget* parent = nullptr);
    ~TfrmLogin() override;

    QLabel* Image_login;
    QLineEdit* editUserPhone;
    QLineEdit* editUserPWD;
    QToolButton* spbLogin;
    QCheckBox* CheckAutoLogin;
    QToolButton* spbClose;
    QLabel* Label_Active;
    QCheckBox* CheckAutoRun;
    bool LoginAccepted = false;

    void FormCreate();
    void spbLoginClick();
    void spbCloseClick();
    void Label_ActiveClick();

    // LoginWindowPort.
    void CloseLogin() override;
    bool RunLogin(const text::Ansi& account, const text::Ansi& password, bool autoLogin, bool autoRun) override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // Escape and Space from the form and both boxes; the key goes on as usual.
    void FormKeyDown(int key);

    QPoint dragOffset_;
    bool dragging_ = false;
};

extern TfrmLogin* frmLogin;
