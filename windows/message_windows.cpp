// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/message_windows.h"

#include <algorithm>

#include "call/call_control.h"
#include "call/window_ports.h"
#include "core/daily_log.h"
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
}

void RemoveMessageWindow(TfrmMessage* w) {
    auto& list = List();
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    if (list.empty() && messageWindowsPort() == &ThePort()) SetMessageWindowsPort(nullptr);
}

TfrmMessage* FindMessageWindow(const text::Ansi& number) {
    for (TfrmMessage* w : List())
        if (PeerNumberFromCaption(w->Caption()) == number) return w;
    return nullptr;
}

void ShowPeerWindow(const text::Ansi& number) {
    // Compared as a caption gives the number back, so a number that no
    // caption can hold whole still finds the window made for it last time.
    const text::Ansi peer = PeerNumberFromCaption("(" + number + ")");
    // A copy: showing a window must not disturb the walk.
    const std::vector<TfrmMessage*> windows = List();
    TfrmMessage* found = nullptr;
    for (TfrmMessage* w : windows) {
        const text::Ansi cut = PeerNumberFromCaption(w->Caption());
        WriteLog(ZH("ReceiveMsg 子窗口Caption ") + w->Caption() + ZH(" sTmp_PhoneNum ") + cut);
        if (cut == peer) {
            WriteLog(ZH("ReceiveMsg 子窗口 ") + cut + ZH("已经创建过，只需要显示出来"));
            found = w;
            break;
        }
    }
    if (found)
        Reveal(found);
    else
        CreateWindowFor(number);
    ShowWindowForFrontMessage();
}

void ShowWindowForFrontMessage() {
    std::optional<text::Ansi> sender;
    MsgQueue.PopFrontIf([&](const MsgRecord& r) {
        sender = text::Ansi(r.sender);
        return false;  // only a look at the front
    });
    if (!sender) return;
    if (TfrmMessage* w = FindMessageWindow(PeerOfSender(*sender))) {
        if (!w->isVisible() || w->isMinimized()) Reveal(w);
        return;
    }
    WriteLog(ZH("ReceiveMsg 为排在最前的短信创建子窗口，来自:") + *sender);
    CreateWindowFor(SenderNumber(*sender));
}
