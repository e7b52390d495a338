// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/login_window.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include "core/form_registry.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_text.h"
#include "platform/shell.h"
#include "service_addresses.h"

using text::ZH;

TfrmLogin* frmLogin = nullptr;

namespace {

// What the stored form of a credential can hold (the cipher's length byte).
constexpr std::size_t kMaxCredentialBytes = 255;

QLineEdit* FlatBox(QWidget* parent, const QRect& r) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(r);
    e->setFrame(false);
    e->setStyleSheet("QLineEdit { border: none; background: white; }");
    return e;
}

}  // namespace

text::Ansi RegistrationAddress(const text::Ansi& phoneText) {
    return std::string(service::kSiteRoot) + "user_reg.php?op=regist&f=client&user_mobile=" + phoneText + "&pid=" + PID;
}

TfrmLogin::TfrmLogin(QWidget* parent) : QDialog(parent) {
    frmLogin = this;
    RegisterForm(this, "TfrmLogin");
    // A popup with no title bar; the picture draws its own frame.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    // Modal to the window it belongs to (the main window), not to the whole
    // program: the tray icon must still answer, its left click closes this
    // window and its menu reopens it.
    setWindowModality(Qt::WindowModal);
    setWindowTitle(U("用户登录"));
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    setFont(UiPixelFont(12));
    setFixedSize(592, 301);

    Image_login = new QLabel(this);
    Image_login->setGeometry(0, 0, 592, 301);
    const QPixmap background(QStringLiteral(":/images/login_bg.png"));
    if (background.isNull())
        Image_login->setStyleSheet("background: #dfe9f5; border: 1px solid #3a6ea5;");
    else
        Image_login->setPixmap(background);
    Image_login->installEventFilter(this);

    editUserPhone = FlatBox(this, QRect(220, 124, 151, 19));
    editUserPWD = FlatBox(this, QRect(220, 161, 151, 19));
    editUserPWD->setEchoMode(QLineEdit::Password);
    editUserPWD->setStyleSheet("QLineEdit { border: none; background: white; lineedit-password-character: 42; }");
    editUserPhone->installEventFilter(this);
    editUserPWD->installEventFilter(this);

    spbLogin = new QToolButton(this);
    spbLogin->setGeometry(430, 119, 97, 98);
    spbLogin->setAutoRaise(true);
    spbLogin->setFocusPolicy(Qt::NoFocus);
    spbLogin->setCursor(Qt::PointingHandCursor);
    spbLogin->setStyleSheet("QToolButton { background: transparent; border: none; }");
    spbLogin->setAccessibleName(U("登录"));  // the picture carries the caption

    CheckAutoLogin = new QCheckBox(U("自动登录"), this);
    CheckAutoLogin->setGeometry(192, 200, 177, 17);
    CheckAutoLogin->setFocusPolicy(Qt::ClickFocus);  // not a tab stop

    spbClose = new QToolButton(this);
    spbClose->setGeometry(568, 0, 23, 22);
    spbClose->setAutoRaise(true);
    spbClose->setFocusPolicy(Qt::NoFocus);
    spbClose->setIcon(QIcon(QStringLiteral(":/images/close.png")));
    spbClose->setIconSize(QSize(16, 16));
    spbClose->setAccessibleName(U("关闭"));

    Label_Active = new QLabel(U("注册新帐号，或忘记密码，请点击这里"), this);
    Label_Active->setGeometry(184, 279, 204, 12);
    Label_Active->setStyleSheet("color: blue;");
    Label_Active->setCursor(Qt::PointingHandCursor);
    Label_Active->setMouseTracking(true);
    Label_Active->installEventFilter(this);

    CheckAutoRun = new QCheckBox(U("随系统启动"), this);
    CheckAutoRun->setGeometry(192, 232, 177, 17);
    CheckAutoRun->setChecked(true);
    CheckAutoRun->hide();  // carries the AutoRun setting; the user never sees it

    setTabOrder(editUserPhone, editUserPWD);
    connect(spbLogin, &QToolButton::clicked, this, &TfrmLogin::spbLoginClick);
    connect(spbClose, &QToolButton::clicked, this, &TfrmLogin::spbCloseClick);

    SetLoginWindowPort(this);
    FormCreate();
}

TfrmLogin::~TfrmLogin() {
    if (loginWindowPort() == this) SetLoginWindowPort(nullptr);
    UnregisterForm(this);
    if (frmLogin == this) frmLogin = nullptr;
}

void TfrmLogin::FormCreate() {
    setWindowOpacity(250.0 / 255.0);
    update();
    LoginAccepted = false;
}

void TfrmLogin::showEvent(QShowEvent* e) {
    // Each showing starts unanswered: only its own acceptance may start a
    // login, however the window is closed (the window manager, the tray).
    LoginAccepted = false;
    QDialog::showEvent(e);
}

void TfrmLogin::spbLoginClick() {
    const text::Ansi phone = AnsiFromQ(editUserPhone->text());
    const text::Ansi pwd = AnsiFromQ(editUserPWD->text());
    if (phone.empty() || pwd.empty()) {
        platform::dialogs().ShowWarningBox(ZH("帐号或者密码不正确"), ZH("系统提示"));
        return;
    }
    const text::Ansi account = text::Trim(phone);
    const text::Ansi password = text::Trim(pwd);
    // Info.ini cannot hold a longer credential; refusing here keeps the
    // shared state and the file as they were instead of failing half way.
    if (account.size() > kMaxCredentialBytes || password.size() > kMaxCredentialBytes) {
        platform::dialogs().ShowWarningBox(ZH("帐号或者密码太长，不能超过255个字节"), ZH("系统提示"));
        return;
    }
    Account = account;
    Password = password;
    AutoLogin = CheckAutoLogin->isChecked() ? "1" : "0";
    AutoRun = CheckAutoRun->isChecked() ? "1" : "0";
    if (AutoRun == "1" && NewUser == "1") {
        SetAutoStart(true);
        NewUser = "0";
    }
    SaveSettings();
    LoginAccepted = true;
    close();
}

void TfrmLogin::spbCloseClick() {
    LoginAccepted = false;
    close();
}

void TfrmLogin::Label_ActiveClick() { platform::shell().Open(RegistrationAddress(AnsiFromQ(editUserPhone->text()))); }

void TfrmLogin::CloseLogin() {
    if (isVisible()) close();
}

bool TfrmLogin::RunLogin(const text::Ansi& account, const text::Ansi& password, bool autoLogin, bool autoRun) {
    CloseLogin();
    editUserPWD->clear();
    editUserPhone->setText(QFromAnsi(account));
    editUserPWD->setText(QFromAnsi(password));
    CheckAutoLogin->setChecked(autoLogin);
    CheckAutoRun->setChecked(autoRun);
    if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());
    raise();
    activateWindow();
    exec();
    return LoginAccepted;
}

void TfrmLogin::FormKeyDown(int key) {
    if (key == Qt::Key_Escape) spbCloseClick();
    if (key == Qt::Key_Space) spbLoginClick();
}

void TfrmLogin::keyPressEvent(QKeyEvent* e) {
    // Keys the boxes pass on arrive here too; they were handled in the filter.
    QWidget* focus = focusWidget();
    if (focus != editUserPhone && focus != editUserPWD) FormKeyDown(e->key());
    QDialog::keyPressEvent(e);
}

bool TfrmLogin::eventFilter(QObject* watched, QEvent* e) {
    if ((watched == editUserPhone || watched == editUserPWD) && e->type() == QEvent::KeyPress) {
        FormKeyDown(static_cast<QKeyEvent*>(e)->key());
        return false;  // the box still gets the key
    }
    if (watched == Label_Active) {
        if (e->type() == QEvent::MouseMove) Label_Active->setStyleSheet("color: #ff0000;");
        if (e->type() == QEvent::MouseButtonRelease &&
            Label_Active->rect().contains(static_cast<QMouseEvent*>(e)->position().toPoint()))
            Label_ActiveClick();
    }
    const bool mouse = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseMove ||
                       e->type() == QEvent::MouseButtonRelease;
    if (watched == Image_login && mouse) {
        // Dragging the background moves the window; the window manager does
        // it where it can, otherwise we follow the mouse ourselves.
        auto* m = static_cast<QMouseEvent*>(e);  // only a mouse event is one
        if (e->type() == QEvent::MouseButtonPress) {
            dragging_ = !(windowHandle() && windowHandle()->startSystemMove());
            dragOffset_ = m->globalPosition().toPoint() - frameGeometry().topLeft();
            return true;
        }
        if (e->type() == QEvent::MouseMove && dragging_ && m->buttons() != Qt::NoButton) {
            move(m->globalPosition().toPoint() - dragOffset_);
            return true;
        }
        if (e->type() == QEvent::MouseButtonRelease) dragging_ = false;
    }
    return QDialog::eventFilter(watched, e);
}
