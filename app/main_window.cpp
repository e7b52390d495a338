// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's components, their placement and the creation handler.
#include "app/main_window.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

#include <exception>

#include "app/artwork.h"
#include "app/browser_language.h"
#include "core/daily_log.h"
#include "core/form_registry.h"
#include "core/settings.h"
#include "core/shared_state.h"
#include "platform/dialogs.h"
#include "platform/qt/flat_button.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/startup_timing.h"
#include "platform/qt/window_frame.h"

using text::ZH;

TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
    frmMain = this;
    RegisterForm(this, "TfrmMain");
    // A tool window keeps its frame but gets no taskbar button (on X11 it is
    // a utility window, which task bars leave out); of the title-bar buttons
    // only the close box.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(UiPixelFont(13));
    setWindowIcon(Artwork("icon.png"));
    resize(860, 550);  // the design size, until FormCreate sizes it by the screen

    MainPanel = new QWidget(this);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar);
    StatusPanel0->setFixedWidth(200);
    StatusPanel1 = new QLabel(StatusBar);
    StatusPanel1->setFixedWidth(300);
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(MainPanel, 1);
    outer->addWidget(StatusBar);

    Splitter1 = new QSplitter(Qt::Horizontal, MainPanel);
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    auto* mainLayout = new QVBoxLayout(MainPanel);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->addWidget(Splitter1);

    BuildLeftPanel();
    BuildWebPanel();
    Splitter1->addWidget(LeftPanel);
    Splitter1->addWidget(Web_Panel);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kLeftPanelWidth, 860 - kLeftPanelWidth});

    BuildPopupMenu();
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu->popup(mapToGlobal(p)); });

    BuildTimers();
    ConnectWebEvents();
    ConnectLineTypes();
    SetMainWindowPort(this);
    FormCreate();
}

TfrmMain::~TfrmMain() {
    delete ApplicationEvents;  // before any component goes: the hook looks at the browser
    ApplicationEvents = nullptr;
    FormDestroy();
    if (mainWindowPort() == this) SetMainWindowPort(nullptr);
    UnregisterForm(this);
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::BuildLeftPanel() {
    LeftPanel = new QWidget;
    LeftPanel->setMinimumWidth(kLeftPanelWidth);
    LeftPanel->installEventFilter(this);

    // Top-aligned: whichever state picture is shown sits at the top, the
    // status label right under it.
    leftTop_ = new QWidget(LeftPanel);
    leftTop_->setGeometry(1, 0, 96, 89);
    auto* top = new QVBoxLayout(leftTop_);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    ImageBusy = new QLabel(leftTop_);
    ImageBusy->setFixedSize(96, 32);
    ImageBusy->setPixmap(Artwork("busy.png"));
    ImageBusy->setToolTip(U("忙线或未登录"));
    ImageFree = new QLabel(leftTop_);
    ImageFree->setFixedSize(96, 32);
    ImageFree->setPixmap(Artwork("free.png"));
    ImageFree->setToolTip(U("空闲"));
    Tips = new QLabel(U("未登录"), leftTop_);
    Tips->setFixedSize(96, 25);
    Tips->setFont(UiPixelFont(13));
    Tips->setStyleSheet("color: blue;");
    top->addWidget(ImageBusy);
    top->addWidget(ImageFree);
    top->addWidget(Tips);
    top->addStretch(1);

    KeyboardPanel = new QWidget(LeftPanel);
    KeyboardPanel->setGeometry(-3, 76, 98, 138);
    Image1 = new QLabel(KeyboardPanel);
    Image1->setGeometry(0, 0, 98, 138);
    Image1->setPixmap(Artwork("keypad.png"));
    // Telephone layout: 1 2 3 / 4 5 6 / 7 8 9 / * 0 #.
    QToolButton** keys[12] = {&spb1, &spb2, &spb3, &spb4, &spb5, &spb6, &spb7, &spb8, &spb9, &spb10, &spb0, &spb11};
    static const char* const names[12] = {"spb1", "spb2", "spb3", "spb4",  "spb5", "spb6",
                                          "spb7", "spb8", "spb9", "spb10", "spb0", "spb11"};
    static const char* const keyNames[12] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "0", "#"};
    for (int i = 0; i < 12; ++i) {
        QToolButton* b = FlatButton(KeyboardPanel, QString(), QString());
        b->setObjectName(names[i]);
        b->setAccessibleName(QString::fromLatin1(keyNames[i]));  // the keypad picture carries the captions
        b->setGeometry(KeypadKeyRect(i / 3, i % 3));
        b->setStyleSheet(
            "QToolButton { background: transparent; border: none; }"
            "QToolButton:hover { border: 1px solid #5a8fd0; border-radius: 4px; }"
            "QToolButton:pressed { background: rgba(40, 90, 160, 60); }");
        *keys[i] = b;
    }

    GroupBox_NetType = new QGroupBox(U("上网线路"), LeftPanel);
    GroupBox_NetType->setGeometry(7, 216, 84, 136);
    ADSLType_Tel = new QRadioButton(U("电信"), GroupBox_NetType);
    ADSLType_Tel->setGeometry(8, 32, 70, 17);
    ADSLType_Tel->setToolTip(U("电信ADSL、天翼3G等上网方式，请选这里"));
    ADSLType_Uni = new QRadioButton(U("联通"), GroupBox_NetType);
    ADSLType_Uni->setGeometry(8, 64, 70, 17);
    ADSLType_Uni->setToolTip(U("联通、网通ADSL、沃3G等上网方式，请选这里"));
    ADSLType_Oth = new QRadioButton(U("其他"), GroupBox_NetType);
    ADSLType_Oth->setGeometry(8, 96, 70, 17);
    ADSLType_Oth->setToolTip(U("移动G3、EDGE、宽带（含铁通宽带）、e家宽、珠江宽频等小区宽带，请选这里"));
    ADSLType_Tel->setChecked(true);

    Sound_OUT = new QProgressBar(LeftPanel);
    Sound_IN = new QProgressBar(LeftPanel);
    for (QProgressBar* bar : {Sound_OUT, Sound_IN}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    PlaceLeftBottom();
}

void TfrmMain::PlaceLeftBottom() {
    const int h = LeftPanel->height();
    Sound_OUT->setGeometry(0, h - 34, LeftPanel->width(), 17);
    Sound_IN->setGeometry(0, h - 17, LeftPanel->width(), 17);
}

void TfrmMain::BuildWebPanel() {
    Web_Panel = new QWidget;
    auto* column = new QVBoxLayout(Web_Panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    StatusImagePanel = new QWidget(Web_Panel);
    StatusImagePanel->setFixedHeight(39);
    spbLogin = FlatButton(StatusImagePanel, QString(), U("用户登录"));
    spbLogin->setGeometry(1, 4, 46, 33);
    spbLogin->setIcon(Artwork("login.png"));
    spbLogin->setIconSize(QSize(40, 28));
    PhoneNum = new QComboBox(StatusImagePanel);
    PhoneNum->setEditable(true);
    PhoneNum->setInsertPolicy(QComboBox::NoInsert);  // the history grows only through calls
    PhoneNum->setGeometry(50, 6, 212, 28);
    PhoneNum->setFont(UiPixelFont(16, true));
    PhoneNum->setStyleSheet("QComboBox { color: blue; }");
    PhoneNum->setEditText(U("输入要拨的号码"));
    PhoneNum->setToolTip(U("输入号码、姓名拨打,手机第一位不加0，固话要加区号"));
    // The box's focus events: the combo box is the text box's focus proxy and
    // hands it its focus events by direct calls, which a filter on the text
    // box never sees.
    PhoneNum->installEventFilter(this);
    spbAnswer = FlatButton(StatusImagePanel, U("IP直拨"), U("通过电脑拨打IP电话"));
    spbAnswer->setGeometry(267, 2, 75, 35);
    spbHanpCall = FlatButton(StatusImagePanel, U("挂 断"), QString());
    spbHanpCall->setGeometry(267, 1, 75, 35);
    spbHanpCall->hide();
    spbBridgeCall = FlatButton(StatusImagePanel, U("桥接通话"), U("在交换机中将主被叫桥接通话，音质不受网速影响"));
    spbBridgeCall->setGeometry(358, 2, 91, 35);
    const struct {
        QToolButton* button;
        const char* glyph;
    } glyphs[] = {{spbAnswer, "call.png"}, {spbHanpCall, "hangup.png"}, {spbBridgeCall, "bridge.png"}};
    for (const auto& g : glyphs) {
        g.button->setIcon(Artwork(g.glyph));
        g.button->setIconSize(QSize(16, 16));
        g.button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    column->addWidget(StatusImagePanel);

    // The browser covers the welcome texts once it is shown.
    auto* area = new QWidget(Web_Panel);
    auto* stack = new QGridLayout(area);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* welcome = new QWidget(area);
    auto* welcomeColumn = new QVBoxLayout(welcome);
    Web_PanelCaption = new QLabel(U("欢迎使用Ravelo"), welcome);
    Web_PanelCaption->setAlignment(Qt::AlignCenter);
    Web_PanelCaption->setFont(UiPixelFont(48));
    Web_PanelCaption->setStyleSheet("color: blue;");
    Label1 = new QLabel(U("打全国电话1毛钱1分钟！"), welcome);
    Label1->setAlignment(Qt::AlignCenter);
    welcomeColumn->addStretch(1);
    welcomeColumn->addWidget(Web_PanelCaption);
    welcomeColumn->addWidget(Label1);
    welcomeColumn->addStretch(1);
    CppWebBrowser = NewClientBrowser(area);
    stack->addWidget(welcome, 0, 0);
    stack->addWidget(CppWebBrowser, 0, 0);
    column->addWidget(area, 1);

    connect(spbAnswer, &QToolButton::clicked, this, &TfrmMain::spbAnswerClick);
    connect(spbHanpCall, &QToolButton::clicked, this, &TfrmMain::spbHanpCallClick);
    connect(spbLogin, &QToolButton::clicked, this, &TfrmMain::spbLoginClick);
    connect(spbBridgeCall, &QToolButton::clicked, this, &TfrmMain::spbBridgeCallClick);
    QToolButton* keys[12] = {spb0, spb1, spb2, spb3, spb4, spb5, spb6, spb7, spb8, spb9, spb10, spb11};
    for (int i = 0; i < 12; ++i) connect(keys[i], &QToolButton::clicked, this, [this, i] { DialKey(i); });
}

void TfrmMain::BuildPopupMenu() {
    PopupMenu = new QMenu(this);
    Regist = PopupMenu->addAction(Artwork("regist.png"), U("Ravelo帐号注册"), this, &TfrmMain::RegistClick);
    ShowForm = PopupMenu->addAction(U("显示面板"), this, &TfrmMain::ShowFormClick);
    HideForm = PopupMenu->addAction(U("隐藏面板"), this, &TfrmMain::HideFormClick);
    ReflashToggleState = PopupMenu->addAction(U("刷新状态"), this, &TfrmMain::ReflashToggleStateClick);
    N3 = PopupMenu->addAction(U("查看日志"), this, &TfrmMain::N3Click);
    N2 = PopupMenu->addSeparator();
    N_login = PopupMenu->addAction(U("用户登录"), this, &TfrmMain::N_loginClick);
    N1 = PopupMenu->addSeparator();
    Shutdown = PopupMenu->addAction(U("退出Ravelo"), this, &TfrmMain::ShutdownClick);
    const struct {
        QAction* action;
        const char* name;
    } names[] = {{Regist, "Regist"},
                 {ShowForm, "ShowForm"},
                 {HideForm, "HideForm"},
                 {ReflashToggleState, "ReflashToggleState"},
                 {N3, "N3"},
                 {N2, "N2"},
                 {N_login, "N_login"},
                 {N1, "N1"},
                 {Shutdown, "Shutdown"}};
    for (const auto& n : names) n.action->setObjectName(n.name);
}

void TfrmMain::BuildTimers() {
    const struct {
        QTimer** timer;
        int interval;
        void (TfrmMain::*tick)();
    } timers[] = {{&ShowCall_Status_Timer, 200, &TfrmMain::ShowCall_Status_TimerTimer},
                  {&Save_logTimer, 5000, &TfrmMain::Save_logTimerTimer},
                  {&Timer_bill, 1000, &TfrmMain::Timer_billTimer},
                  {&Timer_Hide, 1000, &TfrmMain::Timer_HideTimer}};
    for (const auto& t : timers) {
        *t.timer = new QTimer(this);
        (*t.timer)->setInterval(t.interval);
        connect(*t.timer, &QTimer::timeout, this, t.tick);
    }
    ShowCall_Status_Timer->start();
    Save_logTimer->start();
    Timer_bill->start();  // as stored; FormCreate switches it off
    // The status tick stops when it has nothing to redraw, so an idle program
    // does not wake five times a second. Every turn of the loop (before it
    // sleeps, and as it wakes) a change of what the display shows starts the
    // tick again: the change appears by the next tick, as with a tick that
    // never stops, in the order the changes came.
    const auto restart = [this] {
        if (!ShowCall_Status_Timer->isActive() && StatusDisplayStale()) ShowCall_Status_Timer->start();
    };
    if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance()) {
        connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, restart);
        connect(loop, &QAbstractEventDispatcher::awake, this, restart);
    }
}

void TfrmMain::FormCreate() {
    // Each step guards itself: an error is reported once and start-up goes
    // on, so a bad settings file never leaves the window without its tray
    // icon, start page, size or log lines.
    bool reported = false;
    auto step = [&reported](auto&& work) {
        try {
            work();
        } catch (const std::exception& e) {
            if (!reported) platform::dialogs().ShowMessage(e.what());
            reported = true;
        } catch (...) {
            if (!reported) platform::dialogs().ShowMessage(ZH("启动异常"));
            reported = true;
        }
    };

    step([this] {
        Timer_Hide->start();
        CppWebBrowser->hide();
    });
    step([] { LoadSettings(); });
    step([this] { SelectLineType(); });
    step([this] {
        UpdateTrayIcon(TrayMode::add);
        UpdateTrayIcon(TrayMode::modify);
    });
    step([this] {
        startPage_ = WebServer + "user/client_start.php?f=webclient&v=" + ClientVersion + "&u=" + Account + "&p=" + PID;
        CppWebBrowser->load(QUrl(QFromAnsi(startPage_)));
    });
    step([this] { ApplyGeometry(); });
    step([this] { WriteStartupLog(); });
    step([] { Call_Status = line_state::kLoggedOut; });
    step([this] { Timer_bill->stop(); });
    // The start-up lines reach the disk as soon as the loop runs, not only
    // with the first regular flush five seconds later.
    QTimer::singleShot(0, this, &TfrmMain::Save_logTimerTimer);
}

void TfrmMain::SelectLineType() {
    // The line-type buttons only note the choice here; a stored value outside
    // the three known ones is shown as "其他" and changes nothing else.
    if (sADSL_Type == "tel")
        ADSLType_Tel->setChecked(true);
    else if (sADSL_Type == "uni")
        ADSLType_Uni->setChecked(true);
    else
        ADSLType_Oth->setChecked(true);
}

void TfrmMain::ApplyGeometry() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    screenSize_ = s ? s->geometry().size() : QSize(1024, 768);
    placed_ = MainWindowGeometry(screenSize_.width(), screenSize_.height());
    resize(placed_.width, placed_.height);
    move(placed_.left, placed_.top);
}

void TfrmMain::WriteStartupLog() {
    ClearLogBuffer();
    WriteLog("");
    WriteLog(ZH("正在启动Ravelo..."));
    WriteLog(ZH("屏幕分辨率：") + std::to_string(screenSize_.width()) + "x" + std::to_string(screenSize_.height()));
    WriteLog(ZH("Ravelo像素：") + std::to_string(width()) + "x" + std::to_string(height()) +
             " Top =" + std::to_string(y()));
    WriteLog(ZH("用户上网类型：") + sADSL_Type);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* e) {
    if (watched == LeftPanel && e->type() == QEvent::Resize) PlaceLeftBottom();
    if (e->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed())
        platform::MarkStartup("main window shown");
    if (watched == PhoneNum && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)) {
        // Entering and leaving are moves inside the window. The box keeps its
        // focus while its list is open; and when the whole window loses the
        // desktop's focus and gets it back, the box never left. A click into
        // the box of a window that was not active is an entry all the same.
        const bool in = e->type() == QEvent::FocusIn;
        const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
        if (why == Qt::PopupFocusReason) return QWidget::eventFilter(watched, e);
        if (why == Qt::ActiveWindowFocusReason && (!in || phoneKeptFocus_)) {
            phoneKeptFocus_ = !in;
        } else {
            phoneKeptFocus_ = false;
            if (in)
                PhoneNumEnter();
            else
                PhoneNumExit();
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TfrmMain::showEvent(QShowEvent* e) {
    // Before the window is mapped: the window manager reads both then.
    KeepOffTaskbar(this);
    UseCloseOnlyFrame(this);
    if (QWindow* w = windowHandle()) w->installEventFilter(this);  // sees the window first exposed
    QWidget::showEvent(e);
}

void TfrmMain::closeEvent(QCloseEvent* e) {
    // FormClose: the window is never closed, only hidden; the tray stays.
    e->ignore();
    hide();
}

// --- what the call control does to this window ---

void TfrmMain::SetTips(const text::Ansi& caption) { Tips->setText(QFromAnsi(caption)); }

void TfrmMain::SetStatusPanel(int panel, const text::Ansi& t) {
    if (panel == 0) StatusPanel0->setText(QFromAnsi(t));
    if (panel == 1) StatusPanel1->setText(QFromAnsi(t));
}

void TfrmMain::OpenWebPage(const text::Ansi& url) {
    CppWebBrowser->load(QUrl(QFromAnsi(url)));
    CppWebBrowser->show();
}

void TfrmMain::StartBillTimer() { Timer_bill->start(); }
void TfrmMain::StopBillTimer() { Timer_bill->stop(); }

void TfrmMain::SetSoundLevels(int outLevel, int inLevel) {
    Sound_OUT->setValue(std::clamp(outLevel, 0, 100));
    Sound_IN->setValue(std::clamp(inLevel, 0, 100));
}

void TfrmMain::AddPhoneHistory(const text::Ansi& number) {
    // Adding the first item would make it the box's text; the text stays.
    const QString keep = PhoneNum->currentText();
    PhoneNum->addItem(QFromAnsi(number));
    PhoneNum->setEditText(keep);
}
