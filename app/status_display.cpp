// SPDX-License-Identifier: GPL-3.0-or-later
// The status display: the window is redrawn from Call_Status alone, by a
// 200 ms tick that runs while there is something to redraw.
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include <array>

#include "app/main_window.h"
#include "core/shared_state.h"
#include "platform/qt/qt_text.h"

StatusRow StatusRowFor(int callStatus) {
    switch (callStatus) {
    case line_state::kLoggedOut: return {"未登录", false};
    case line_state::kIdle: return {"空闲待机", true};
    case line_state::kCalling: return {"正在呼叫...", false};
    case line_state::kRinging: return {"等待接听...", false};
    case line_state::kOutConnected: return {"拨打通话中...", false};
    case line_state::kInConnected: return {"接听通话中...", false};
    case line_state::kIncoming: return {"线路1呼入", false};
    default: return {"未知状态码", false};
    }
}

namespace {
// "on": usable and seen; "off": neither.
void Switch(QWidget* w, bool on) {
    w->setEnabled(on);
    w->setVisible(on);
}

// The texts of one row as the display shows them, converted once: a tick
// converts, builds and allocates nothing.
struct RowTexts {
    text::Ansi tip;   // StatusTip
    QString caption;  // Tips: a blank, then StatusTip
};

// The rows of the codes -1 to 5 and the one of every other code.
const RowTexts& TextsFor(int callStatus) {
    static const std::array<RowTexts, 8> rows = [] {
        std::array<RowTexts, 8> r;
        for (int i = 0; i < 8; ++i) {
            r[i].tip = text::ZH(StatusRowFor(i < 7 ? i - 1 : 99).tip);
            r[i].caption = QFromAnsi(" " + r[i].tip);
        }
        return r;
    }();
    return rows[callStatus >= line_state::kLoggedOut && callStatus <= line_state::kIncoming ? callStatus + 1 : 7];
}
}  // namespace

bool TfrmMain::StatusDisplayStale() const {
    const int code = Call_Status;
    const RowTexts& texts = TextsFor(code);
    return code != statusShown_ || StatusTip != texts.tip || Tips->text() != texts.caption || !trayShown_.textsKnown ||
           trayShown_.account != Account;
}

void TfrmMain::ShowCall_Status_TimerTimer() {
    const int code = Call_Status;  // read once: an engine event may change it meanwhile
    // A tick with nothing to change is the last one until something changes
    // (BuildTimers starts the timer again then).
    const bool stale = StatusDisplayStale();
    const StatusRow row = StatusRowFor(code);
    const RowTexts& texts = TextsFor(code);
    StatusTip = texts.tip;
    // Widgets ignore a setting they already have, so unchanged rows repaint nothing.
    ImageFree->setVisible(row.idlePicture);
    ImageBusy->setVisible(!row.idlePicture);
    if (code == line_state::kLoggedOut) {
        spbAnswer->setEnabled(false);  // stays where it is, but cannot be pressed
        Switch(spbHanpCall, false);
        spbBridgeCall->setEnabled(false);
    } else if (code == line_state::kIdle) {
        Switch(spbAnswer, true);
        Switch(spbHanpCall, false);
        spbBridgeCall->setEnabled(true);
    } else if (code >= line_state::kCalling && code <= line_state::kIncoming) {
        Switch(spbAnswer, false);
        Switch(spbHanpCall, true);
    } else {
        Switch(spbAnswer, true);
        Switch(spbHanpCall, false);
    }
    if (Tips->text() != texts.caption) Tips->setText(texts.caption);
    UpdateTrayIcon(TrayMode::modify);
    statusShown_ = code;
    if (!stale) ShowCall_Status_Timer->stop();
}
