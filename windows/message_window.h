// SPDX-License-Identifier: GPL-3.0-or-later
// A chat window for one peer's SIP text messages. The caption "(" + number +
// ")" names the peer; the window takes that peer's received messages from
// MsgQueue every 20 ms, sends through the call control, and can call the
// peer or hang up. Closing only hides it.
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
    QTimer* ReadMsgTimer;
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

protected:
    void showEvent(QShowEvent* e) override;

private:
    // Adds one line (several when `line` holds line breaks) at the end of the
    // history, as plain text: a sender's markup is shown, never interpreted.
    void AppendHistory(const text::Ansi& line);

    text::Ansi caption_;
    bool historyStarted_ = false;
};

extern TfrmMessage* frmMessage;

// Restarts every message window's ReadMsgTimer now, all in one go, so that
// they tick together.
void StartReadTimersInStep();
// Called from another timer's tick: when a window was made since the last
// call, restarts the timers in step with that tick, so that theirs and it
// share the program's wake-ups.
void AlignReadTimersWithThisTick();
