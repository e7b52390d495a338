// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: status display, number box, dial pad, web page and tray.
// It is the application's main form; closing it only hides it, and the
// program ends through the exit command of the popup menu.
#pragma once
#include <QSize>
#include <QString>
#include <QWidget>

#include <set>

#include "app/window_geometry.h"
#include "call/window_ports.h"
#include "core/text.h"
#include "net/http_client.h"

class QAction;
class QComboBox;
class QEvent;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QRadioButton;
class QSplitter;
class QStatusBar;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
class QUrl;
class QWebEngineView;

// Mouse messages of the tray callback, as the desktop reports them.
constexpr int WM_TRAYNOTIFY = 0x8064;
constexpr int WM_LBUTTONUP = 0x0202;
constexpr int WM_RBUTTONUP = 0x0205;

enum class TrayMode { add, modify, del };

// Tray tip and window caption, built together from Account and ClientVersion.
text::Ansi TrayTipText();
text::Ansi MainCaptionText();
// The tip as the tray takes it: at most 127 bytes, never ending in half a
// double-byte character.
text::Ansi CutTrayTip(const text::Ansi& tip);

// The row of the status display for one line state.
struct StatusRow {
    const char* tip;   // UTF-8 source text of StatusTip
    bool idlePicture;  // ImageFree shown (else ImageBusy)
};
StatusRow StatusRowFor(int callStatus);

class TfrmMain : public QWidget, public MainWindowPort {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Components, by the names the rest of the program knows them by.
    QStatusBar* StatusBar;
    QLabel* StatusPanel0;  // 200 px: SIP server, call duration
    QLabel* StatusPanel1;  // 300 px: browser texts, bridge-call progress
    QWidget* MainPanel;
    QWidget* LeftPanel;
    QSplitter* Splitter1;
    QWidget* Web_Panel;
    QLabel* Web_PanelCaption;  // "欢迎使用Ravelo", seen while the browser is hidden
    QLabel* Label1;
    QLabel* ImageBusy;
    QLabel* ImageFree;
    QLabel* Tips;
    QWidget* KeyboardPanel;
    QLabel* Image1;
    QToolButton *spb0, *spb1, *spb2, *spb3, *spb4, *spb5, *spb6, *spb7, *spb8, *spb9, *spb10, *spb11;
    QGroupBox* GroupBox_NetType;
    QRadioButton* ADSLType_Tel;
    QRadioButton* ADSLType_Uni;
    QRadioButton* ADSLType_Oth;
    QProgressBar* Sound_OUT;
    QProgressBar* Sound_IN;
    QWidget* StatusImagePanel;
    QToolButton* spbLogin;
    QComboBox* PhoneNum;
    QToolButton* spbAnswer;
    QToolButton* spbHanpCall;
    QToolButton* spbBridgeCall;
    QWebEngineView* CppWebBrowser;
    QMenu* PopupMenu;
    QAction* Regist;
    QAction* ShowForm;
    QAction* HideForm;
    QAction* ReflashToggleState;
    QAction* N3;
    QAction* N2;
    QAction* N_login;
    QAction* N1;
    QAction* Shutdown;
    net::TNMHTTP NMHTTP_WebCall;
    QTimer* ShowCall_Status_Timer;
    QTimer* Save_logTimer;
    QTimer* Timer_bill;
    QTimer* Timer_Hide;
    QObject* ApplicationEvents = nullptr;  // the application-wide message hook

    // The start page the hidden browser was pointed at by FormCreate.
    text::Ansi StartPageAddress() const { return startPage_; }
    // Whether the tray currently holds our icon.
    bool TrayIconPresent() const;

    // Handlers.
    void FormCreate();
    void FormDestroy();
    void TrayNotify(int mouseMessage);
    void Timer_HideTimer();
    void ShowCall_Status_TimerTimer();
    // True when the status display does not show the present line state (or
    // a text another part wrote over it): the next tick has work to do.
    bool StatusDisplayStale() const;
    void Save_logTimerTimer();
    void Timer_billTimer();
    void ShowFormClick();
    void HideFormClick();
    void ShutdownClick();
    // The exit steps, also when the desktop session ends (SIGTERM, SIGINT):
    // the engine shut down (it unregisters), the log written, the tray icon
    // removed, the message loop ended.
    void EndSession();
    void spbAnswerClick();
    void spbHanpCallClick();
    void spbLoginClick();
    void N_loginClick();
    void RegistClick();
    void ReflashToggleStateClick();
    void N3Click();
    // Dial pad key 0-9, 10 ("*") or 11 ("#"): the buttons spb0 to spb11.
    void DialKey(int key);
    void PhoneNumEnter();
    void PhoneNumExit();
    // The embedded browser: its status text (a hovered link's address or a
    // plain message) and its request for a new window.
    void CppWebBrowserStatusTextChange(const QString& text);
    void CppWebBrowserNewWindow2(bool& cancel);
    // A new window the page asked for: acted on only when the user's click or
    // key (byUser) asked for it, and handed to another program only when it is
    // a web address; anything else is logged and dropped.
    void CppWebBrowserNewWindow(const QUrl& address, bool byUser);
    // Sees every event before it is delivered; true drops it.
    bool ApplicationEventsMessage(QObject* target, QEvent* message);
    void spbBridgeCallClick();
    void ADSLType_TelClick();
    void ADSLType_UniClick();
    void ADSLType_OthClick();

    bool UpdateTrayIcon(TrayMode mode);
    void RefreshTrayState();

    // MainWindowPort: what the call control does to this window.
    void SetTips(const text::Ansi& caption) override;
    void SetStatusPanel(int panel, const text::Ansi& t) override;
    void OpenWebPage(const text::Ansi& url) override;
    void StartBillTimer() override;
    void StopBillTimer() override;
    void SetSoundLevels(int outLevel, int inLevel) override;
    void AddPhoneHistory(const text::Ansi& number) override;

protected:
    void closeEvent(QCloseEvent* e) override;  // FormClose
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildLeftPanel();
    void BuildWebPanel();
    void BuildPopupMenu();
    void BuildTimers();
    void PlaceLeftBottom();
    void SelectLineType();
    void ApplyGeometry();
    void WriteStartupLog();
    void ShowLoginWindowAgain();
    void ConnectWebEvents();
    void ConnectLineTypes();
    void ChangeLineType(const char* value, const char* notice);
    void LogDropped(const text::Ansi& why, const QUrl& address);

    QWidget* leftTop_ = nullptr;   // ImageBusy, ImageFree and Tips stacked at the top
    bool phoneKeptFocus_ = false;  // the number box had the focus when the window lost the desktop's
    QSystemTrayIcon* tray_ = nullptr;
    // What the tray and the caption were last given.
    struct TrayShown {
        bool textsKnown = false;
        text::Ansi account, version;  // the tip and caption below were built from these
        QString tip, caption;
        bool iconKnown = false;
        bool free = false;  // the idle picture is in the tray
        QString tipShown;
    } trayShown_;
    int statusShown_ = -99;  // the line state the display last showed; none at first
    text::Ansi startPage_;
    static constexpr std::size_t kDroppedLogged = 100;
    std::set<text::Ansi> droppedLogged_;  // what the page asked for in vain, as logged
    QString hoveredLink_;                 // the link under the pointer or the key's focus now
    QSize screenSize_;
    WindowGeometry placed_;
};

extern TfrmMain* frmMain;
