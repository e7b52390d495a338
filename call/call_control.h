// SPDX-License-Identifier: GPL-3.0-or-later
// The call-control form: the only owner of the softphone engine. Hidden for
// the whole run; the windows act through its operations and notifications.
#pragma once
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include "core/text.h"
#include "net/http_client.h"

// Parameterless notifications, posted to the form and handled on the GUI thread.
constexpr int WM_CALL_LOGIN = 0x8002;
constexpr int WM_CALL_INCOMING = 0x8004;
constexpr int WM_CALL_SHOWLOGIN = 0x8005;
constexpr int WM_CALL_MESSAGE = 0x8006;

class TfrmCall : public QWidget {
    Q_OBJECT
public:
    explicit TfrmCall(QWidget* parent = nullptr);
    ~TfrmCall() override;

    // Posts one of the WM_CALL_* notifications to the form (safe from any thread).
    void PostNotification(int message);

    // Login.
    void StartLogin();
    void ShowLogin();
    void DoLogin();
    text::Ansi GetSipServer();
    // The machine woke from sleep: the last login's registration once more.
    void RegisterAgain();

    // Engine events that need the GUI thread.
    void AskAnswer();
    void ReceiveMsg();
    // Runs the engine's queued effects in order (RunOnGuiThread wakes it).
    Q_INVOKABLE void RunGuiTasks();

    // Call operations.
    // MakeCall and SendSipMsg answer false when their checks refused the input
    // (the user has seen the dialog), true when the engine was asked.
    bool MakeCall(const text::Ansi& number);
    void HangUp();
    void SendDtmf(const text::Ansi& digit);
    bool SendSipMsg(const text::Ansi& number, const text::Ansi& body);
    void DestroyEngine();

    QComboBox* SoundOutput;
    QComboBox* SoundInPut;
    QLabel* Label1;
    QLabel* Label2;
    QGroupBox* SoundDevice;
    net::TNMHTTP NMHTTP_SIP;

protected:
    bool event(QEvent* e) override;

private:
    // The login sequence itself; DoLogin runs it once at a time.
    void LoginSequence();

    bool engineDestroyed_ = false;
    bool loginRunning_ = false;
    bool loginWaiting_ = false;
    bool registerAsked_ = false;   // a login handed the engine a registration
    text::Ansi registeredServer_;  // the server it named (SipServer may change after)
    // Without both kinds of device the engine calls in silence; the log says
    // so once for the program's call control, not at every login.
    bool silenceLogged_ = false;
};

extern TfrmCall* frmCall;

// The host that answers SIP server discovery; the build's service address
// unless a test points it at a server of its own.
void SetDiscoveryHost(const text::Ansi& host);
