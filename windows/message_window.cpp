// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/message_window.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "call/call_control.h"
#include "core/form_registry.h"
#include "core/msg_queue.h"
#include "platform/qt/flat_button.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/startup_timing.h"
#include "platform/qt/window_frame.h"
#include "windows/message_windows.h"

using text::ZH;

TfrmMessage* frmMessage = nullptr;

namespace {

QFrame* Panel(QWidget* parent, QFrame::Shape shape = QFrame::NoFrame) {
    auto* p = new QFrame(parent);
    p->setFrameShape(shape);
    return p;
}

QToolButton* IconButton(QWidget* parent, const char* caption, const QIcon& glyph, const QRect& r) {
    QToolButton* b = FlatButton(parent, U(caption));
    b->setIcon(glyph);
    b->setIconSize(QSize(20, 20));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setGeometry(r);
    return b;
}

// A message's line breaks in any convention become the history's own.
QString PlainLines(const text::Ansi& t) {
    QString q = QFromAnsi(t);
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return q;
}

}  // namespace

TfrmMessage::TfrmMessage(QWidget* owner) : QWidget(owner, Qt::Window) {
    RegisterForm(this, "TfrmMessage");
    ReadMsgTimer = new QTimer(this);  // first: setting the caption looks at it
    ReadMsgTimer->setInterval(20);
    SetCaption(ZH("短信"));
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    // 572 x 499 with the frame of a normal caption and border.
    resize(564, 465);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(212, 208, 200));  // inactive-border grey
    setPalette(pal);
    setAutoFillBackground(true);

    VerticalSplitter = new QSplitter(Qt::Horizontal, this);
    VerticalSplitter->setHandleWidth(8);
    VerticalSplitter->setChildrenCollapsible(false);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(VerticalSplitter);

    MainPanel = new QWidget(VerticalSplitter);
    AD_Panel = Panel(VerticalSplitter);
    AD_WebBrowser = new QWidget(AD_Panel);
    AD_WebBrowser->setStyleSheet("background: white;");
    auto* adLayout = new QVBoxLayout(AD_Panel);
    adLayout->setContentsMargins(0, 0, 0, 0);
    adLayout->addWidget(AD_WebBrowser);
    VerticalSplitter->addWidget(MainPanel);
    VerticalSplitter->addWidget(AD_Panel);
    VerticalSplitter->setStretchFactor(0, 1);
    VerticalSplitter->setStretchFactor(1, 0);
    VerticalSplitter->setSizes({564 - 8 - 132, 132});

    TitlePanel = Panel(MainPanel, QFrame::Box);
    TitlePanel->setFixedHeight(40);

    HorizontalSplitter = new QSplitter(Qt::Vertical, MainPanel);
    HorizontalSplitter->setHandleWidth(4);
    HorizontalSplitter->setChildrenCollapsible(false);

    HistoryMsg = new QTextEdit(HorizontalSplitter);
    HistoryMsg->setReadOnly(true);
    HistoryMsg->setAcceptRichText(false);
    HistoryMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    HistoryMsg->setFrameShape(QFrame::NoFrame);
    HistoryMsg->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    HistoryMsg->setFont(UiPixelFont(16));

    auto* lower = new QWidget(HorizontalSplitter);
    SendToolPanel = Panel(lower);
    SendToolPanel->setFixedHeight(19);
    SendMsg = new QTextEdit(lower);
    SendMsg->setAcceptRichText(false);
    SendMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SendMsg->setFrameShape(QFrame::NoFrame);
    SendMsg->setFont(UiPixelFont(13));
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    lowerLayout->addWidget(SendToolPanel);
    lowerLayout->addWidget(SendMsg);
    HorizontalSplitter->addWidget(HistoryMsg);
    HorizontalSplitter->addWidget(lower);
    HorizontalSplitter->setStretchFactor(0, 0);
    HorizontalSplitter->setStretchFactor(1, 1);
    HorizontalSplitter->setSizes({240, 465 - 40 - 50 - 240 - 4});

    BottomPanel = Panel(MainPanel);
    BottomPanel->setFixedHeight(50);
    spbClose = IconButton(BottomPanel, "关闭", QIcon(QStringLiteral(":/images/close.png")), QRect(-1, 5, 50, 41));
    spbCall = IconButton(BottomPanel, "拨打", QIcon(QStringLiteral(":/images/call.png")), QRect(232, 5, 81, 40));
    spbSend = IconButton(BottomPanel, "发信息", style()->standardIcon(QStyle::SP_ArrowForward), QRect(320, 5, 76, 41));

    auto* rows = new QVBoxLayout(MainPanel);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addWidget(TitlePanel);
    rows->addWidget(HorizontalSplitter, 1);
    rows->addWidget(BottomPanel);

    connect(spbSend, &QToolButton::clicked, this, &TfrmMessage::spbSendClick);
    connect(spbCall, &QToolButton::clicked, this, &TfrmMessage::spbCallClick);
    connect(spbClose, &QToolButton::clicked, this, &TfrmMessage::spbCloseClick);
    connect(ReadMsgTimer, &QTimer::timeout, this, &TfrmMessage::ReadMsgTimerTimer);

    AddMessageWindow(this);
    FormCreate();
}

TfrmMessage::~TfrmMessage() {
    RemoveMessageWindow(this);
    UnregisterForm(this);
    if (frmMessage == this) frmMessage = nullptr;
}

void TfrmMessage::SetCaption(const text::Ansi& caption) {
    caption_ = caption;
    setWindowTitle(QFromAnsi(caption));
    // A window made for a message that is already queued takes it.
    StartReadingWhenMessageWaits();
}

void TfrmMessage::FormCreate() {
    SendMsg->clear();
    HistoryMsg->clear();
    historyStarted_ = false;
    // A top-level window of its own beside the main window, kept above other
    // windows, with the main window's border: caption, system menu and the
    // close box, no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    SendMsg->setFocus();
    StartReadingWhenMessageWaits();
}

void TfrmMessage::StartReadingWhenMessageWaits() {
    if (!ReadMsgTimer->isActive() && MessageWaitsFor(PeerNumberFromCaption(caption_))) ReadMsgTimer->start();
}

void TfrmMessage::AppendHistory(const text::Ansi& line) {
    QTextCursor c(HistoryMsg->document());
    c.movePosition(QTextCursor::End);
    if (historyStarted_) c.insertBlock();
    historyStarted_ = true;
    c.insertText(PlainLines(line));
    HistoryMsg->verticalScrollBar()->setValue(HistoryMsg->verticalScrollBar()->maximum());
}

void TfrmMessage::spbSendClick() {
    PeerNumber = PeerNumberFromCaption(caption_);
    // Line breaks leave as CR LF, as a desktop text box gives them, and the
    // 500-byte bound counts them so.
    QString typed = SendMsg->toPlainText();
    typed.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const text::Ansi body = AnsiFromQ(typed);
    if (body.empty()) return;
    // A refused message (its dialog has been shown) is neither recorded as
    // said nor thrown away: the text stays for the user to mend.
    if (!frmCall || !frmCall->SendSipMsg(PeerNumber, body)) return;
    AppendHistory(ZH("我说") + LongTimeText());
    AppendHistory(body);
    SendMsg->clear();
}

void TfrmMessage::spbCallClick() {
    // The caption never changes, so this is the number the timer last cut.
    PeerNumber = PeerNumberFromCaption(caption_);
    if (spbCall->text() == U("拨打")) {
        // A number the call control refused places no call: the button keeps its role.
        if (!frmCall || !frmCall->MakeCall(text::Trim(PeerNumber))) return;
        AppendHistory(ZH("拨打电话 ") + PeerNumber + " " + LongTimeText());
        spbCall->setText(U("挂断"));
        spbCall->setIcon(QIcon(QStringLiteral(":/images/hangup.png")));
    } else {
        if (frmCall) frmCall->HangUp();
        AppendHistory(ZH("挂断与 ") + PeerNumber + ZH(" 的通话") + LongTimeText());
        spbCall->setText(U("拨打"));
        spbCall->setIcon(QIcon(QStringLiteral(":/images/call.png")));
    }
}

void TfrmMessage::spbCloseClick() { close(); }

void TfrmMessage::showEvent(QShowEvent* e) {
    UseCloseOnlyFrame(this);  // before the window is mapped
    QWidget::showEvent(e);
}

void TfrmMessage::ReadMsgTimerTimer() {
    PeerNumber = PeerNumberFromCaption(caption_);
    const bool shown = TakeOneMessage();
    // Nothing left for this window: no tick until the next one for it is queued.
    if (!MessageWaitsFor(PeerNumber)) ReadMsgTimer->stop();
    if (!shown) return;
    platform::MarkMessageShown();
    // The next message may belong to a window not made or not shown yet.
    ShowWindowForFrontMessage();
}

bool TfrmMessage::TakeOneMessage() {
    if (PeerNumber.empty()) return false;  // no peer: the start-up window takes nothing
    const text::Ansi taken = TakeMessageFor(PeerNumber);
    if (!taken.empty()) {
        const std::size_t p = taken.find('@');
        AppendHistory(taken.substr(0, p) + ZH(" 说："));
        AppendHistory(taken.substr(p + 1));
    } else if (std::optional<MsgRecord> stray = TakeStrayMessageFor(PeerNumber)) {
        // No number to show for it: the sender as it came.
        AppendHistory(text::Ansi(stray->sender) + ZH(" 说："));
        AppendHistory(" " + text::Ansi(stray->text));
    } else {
        return false;
    }
    return true;
}
