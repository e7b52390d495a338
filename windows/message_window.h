// SPDX-License-Identifier: GPL-3.0-or-later
// A chat window for one peer's SIP text messages. The caption "(" + number +
// ")" names the peer; the window takes that peer's received messages from
// MsgQueue every 20 ms while one of them waits there (the timer stands still
// otherwise, so an idle window never wakes the program), sends through the
// call control, and can call the peer or hang up. Closing only hides it.
#pragma once
#include <QWidget>

#include "core/text.h"
#include "platform/qt/qt_time.h"  // LongTimeText: the time the history shows

class QFrame;
class QSplitter;
class QTextEdit;
class QTimer;
class QToolButton;

class TfrmMessage : public QWidget {
    Q_OBJECT
public:
    // `owner` destroys the window with itself; the window stays a top-level
    // window of its own either way.
    explicit TfrmMessage(QWidget* owner = nullptr);
    ~TfrmMessage() override;

    QWidget* MainPanel;
    QFrame* AD_Panel;
    QWidget* AD_WebBrowser;
    QFrame* TitlePanel;
    QTextEdit* HistoryMsg;
    QSplitter* HorizontalSplitter;  // holds the history above the input rows
    QFrame* SendToolPanel;
    QTextEdit* SendMsg;
    QFrame* BottomPanel;
    QSplitter* VerticalSplitter;  // holds MainPanel left of AD_Panel
    QToolButton* spbSend;
    QToolButton* spbCall;
    QToolButton* spbClose;
    QTimer* ReadMsgTimer = nullptr;
    text::Ansi PeerNumber;

    // The caption is kept as CP936 bytes, so the peer cut from it is the very
    // number the window was made for, whatever bytes the sender used.
    const text::Ansi& Caption() const { return caption_; }
    void SetCaption(const text::Ansi& caption);

    void FormCreate();
    void spbSendClick();
    void spbCallClick();
    void spbCloseClick();
    void ReadMsgTimerTimer();
    // Starts ReadMsgTimer when a message for this window's peer is queued
    // and the timer stands still; a running timer keeps its beat.
    void StartReadingWhenMessageWaits();

protected:
    void showEvent(QShowEvent* e) override;

private:
    // Shows the message the window may take now, if any; true when it did.
    bool TakeOneMessage();
    // Adds one line (several when `line` holds line breaks) at the end of the
    // history, as plain text: a sender's markup is shown, never interpreted.
    void AppendHistory(const text::Ansi& line);

    text::Ansi caption_;
    bool historyStarted_ = false;
};

extern TfrmMessage* frmMessage;
