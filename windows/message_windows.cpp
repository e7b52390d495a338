// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/message_windows.h"

#include <QApplication>
#include <QMetaObject>

#include <algorithm>
#include <string>

#include "call/call_control.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
#include "platform/qt/qt_text.h"
#include "windows/message_window.h"

using text::ZH;

namespace {

std::vector<TfrmMessage*>& List() {
    static std::vector<TfrmMessage*> windows;
    return windows;
}

// How the call control reaches the windows; registered while any exists.
class Port : public MessageWindowsPort {
public:
    void ShowPeerWindow(const text::Ansi& number) override { ::ShowPeerWindow(number); }
};

Port& ThePort() {
    static Port port;
    return port;
}

// Brings a window back without taking the focus from where the user types.
void Reveal(TfrmMessage* w) {
    if (w->isMinimized()) {
        w->showNormal();
    } else {
        w->setAttribute(Qt::WA_ShowWithoutActivating, true);
        w->show();
        w->setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
    w->raise();
}

// The program's windows as a received message walks them: the other forms,
// then the message windows, oldest first. Menus and tool tips are no forms.
std::vector<std::pair<QWidget*, TfrmMessage*>> WindowsToWalk() {
    std::vector<std::pair<QWidget*, TfrmMessage*>> walk;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen || type == Qt::Desktop) continue;
        if (std::find(List().begin(), List().end(), w) == List().end()) walk.emplace_back(w, nullptr);
    }
    for (TfrmMessage* w : List()) walk.emplace_back(w, w);
    return walk;
}

// A message whose sender gives no number has no peer to show it with or to
// answer: it leaves the queue with a log line, so nothing waits behind it.
void DropMessage(const MsgRecord& r) {
    WriteLog(ZH("ReceiveMsg 发送者没有可用的号码，丢弃短信，来自:") + text::Ansi(r.sender) + ZH(" 消息: ") +
             text::Ansi(r.text));
}

// The queue's listener while any window exists: the windows of the message's
// peer start reading. A push from another thread is handed to the GUI thread,
// where the timers live.
void OnMessageQueued(const MsgRecord& r) {
    QMetaObject::invokeMethod(
        qApp,
        [peer = PeerOfSender(r.sender)] {
            for (TfrmMessage* w : List())
                if (PeerNumberFromCaption(w->Caption()) == peer) w->StartReadingWhenMessageWaits();
        },
        Qt::AutoConnection);
}

// Peer windows alive; the start-up window names no peer and is not counted.
std::size_t PeerWindowCount() {
    return static_cast<std::size_t>(std::count_if(List().begin(), List().end(), [](TfrmMessage* w) {
        return !PeerNumberFromCaption(w->Caption()).empty();
    }));
}

bool RoomForAnotherWindow() { return PeerWindowCount() < kMostMessageWindows; }

// A message from a new peer once the windows are all taken: it was answered
// already, so it leaves the queue whole in the log rather than in a window.
void DropMessageBeyondWindows(const MsgRecord& r) {
    WriteLog(ZH("ReceiveMsg 短信窗口已满") + std::to_string(kMostMessageWindows) +
             ZH("个，不再新建，丢弃短信，来自:") + text::Ansi(r.sender) + ZH(" 消息: ") + text::Ansi(r.text));
}

TfrmMessage* CreateWindowFor(const text::Ansi& number) {
    // Owned by the call-control form: it lives until that form is destroyed.
    auto* w = new TfrmMessage(frmCall);
    w->SetCaption("(" + number + ")");
    w->show();
    return w;
}

}  // namespace

const std::vector<TfrmMessage*>& MessageWindows() { return List(); }

void AddMessageWindow(TfrmMessage* w) {
    List().push_back(w);
    SetMessageWindowsPort(&ThePort());
    MsgQueue.SetPushListener(&OnMessageQueued);
}

void RemoveMessageWindow(TfrmMessage* w) {
    auto& list = List();
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    if (list.empty() && messageWindowsPort() == &ThePort()) SetMessageWindowsPort(nullptr);
    if (list.empty()) MsgQueue.SetPushListener(nullptr);
}

bool MessageWaitsFor(const text::Ansi& number) {
    return !number.empty() && MsgQueue.AnyOf([&](const MsgRecord& r) { return PeerOfSender(r.sender) == number; });
}

TfrmMessage* FindMessageWindow(const text::Ansi& number) {
    if (number.empty()) return nullptr;  // the start-up window, or one whose caption names no peer
    for (TfrmMessage* w : List())
        if (PeerNumberFromCaption(w->Caption()) == number) return w;
    return nullptr;
}

void ShowPeerWindow(const text::Ansi& number) {
    // Compared as a caption gives the number back, so a number that no
    // caption can hold whole still finds the window made for it last time.
    const text::Ansi peer = PeerNumberFromCaption("(" + number + ")");
    // Every window is logged as it is looked at; only a message window of
    // this peer is taken. The walk is a copy: showing a window must not
    // disturb it.
    TfrmMessage* found = nullptr;
    for (const auto& [w, chat] : WindowsToWalk()) {
        const text::Ansi caption = chat ? chat->Caption() : AnsiFromQ(w->windowTitle());
        const text::Ansi cut = PeerNumberFromCaption(caption);
        WriteLog(ZH("ReceiveMsg 子窗口Caption ") + caption + ZH(" sTmp_PhoneNum ") + cut);
        if (chat && !peer.empty() && cut == peer) {
            WriteLog(ZH("ReceiveMsg 子窗口 ") + cut + ZH("已经创建过，只需要显示出来"));
            found = chat;
            break;
        }
    }
    if (found)
        Reveal(found);
    else if (!peer.empty() && RoomForAnotherWindow())
        CreateWindowFor(number);
    // Without a number, or without room for its window, the message is
    // dropped there when it reaches the front.
    ShowWindowForFrontMessage();
}

void ShowWindowForFrontMessage() {
    std::optional<text::Ansi> sender;
    for (;;) {
        sender.reset();
        bool noNumber = false;
        std::optional<MsgRecord> dropped = MsgQueue.PopFrontIf([&](const MsgRecord& r) {
            sender = text::Ansi(r.sender);
            const text::Ansi peer = PeerOfSender(*sender);
            noNumber = peer.empty();
            return noNumber || (!FindMessageWindow(peer) && !RoomForAnotherWindow());
        });
        if (!dropped) break;
        if (noNumber)
            DropMessage(*dropped);
        else
            DropMessageBeyondWindows(*dropped);
    }
    if (!sender) return;
    if (TfrmMessage* w = FindMessageWindow(PeerOfSender(*sender))) {
        if (!w->isVisible() || w->isMinimized()) Reveal(w);
        return;
    }
    WriteLog(ZH("ReceiveMsg 为排在最前的短信创建子窗口，来自:") + *sender);
    CreateWindowFor(SenderNumber(*sender));
}
