// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/stress/stress_fixture.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTextEdit>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/main_window.h"
#include "tests/e2e/client_forms.h"
#include "call/call_control.h"
#include "core/daily_log.h"
#include "core/password_cipher.h"
#include "core/shared_state.h"
#include "platform/executable.h"
#include "platform/message_pump.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "tests/support/logged.h"
#include "windows/login_window.h"
#include "windows/message_window.h"
#include "windows/message_windows.h"

using text::ZH;

namespace {

const std::string kTools = RAVELO_SOURCE_DIR "/tools";

int Shell(const std::string& cmd) { return std::system(cmd.c_str()); }

void StartClientPlatform(fakes::Desktop& desk) {
    // The client's own desktop seams as it installs them at start (among them
    // the message pump that keeps the window alive while a request waits),
    // then the fakes again for what would wait for a person or a sound card.
    platform::InstallQtPlatform();
    platform::SetDialogs(&desk.dialogs);
    platform::SetSound(&desk.sound);
    platform::SetShell(&desk.shell);
}

}  // namespace

void StressTest::StartStandin(const std::string& env) {
    runDir_ = "/tmp/ravelo-stress-" + std::to_string(::getpid());
    const std::string standin = env + " RUNDIR=" + runDir_ + " bash " + kTools + "/standin.sh ";
    const std::string said = runDir_ + ".start.log";
    // Once more after a failed start (seen once at the end of a full run);
    // what the stand-in said is kept for the failure message.
    int rc = Shell(standin + "start >" + said + " 2>&1");
    if (rc != 0) {
        Shell(standin + "stop >/dev/null 2>&1");
        rc = Shell(standin + "start >>" + said + " 2>&1");
    }
    std::ifstream in(said);
    const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(said.c_str());
    ASSERT_EQ(rc, 0) << "the stand-in service did not start:\n" << output;
    standinUp_ = true;
}

void StressTest::StartClient(const text::Ansi& debugSipSrv) {
    StartClientPlatform(desk_);
    setenv("ZENT_SOFTPHONE_SIP_PORT", std::to_string(kEnginePort).c_str(), 1);
    text::Ansi ini = "[LoadInfo]\r\nAutoRun=1\r\naccount=" + EncryptText(kAccount) +
                     "\r\npwd=" + EncryptText("123456") + "\r\nsADSL_Type=gmcc\r\nAutoLogin=1\r\nNewUser=0\r\n";
    if (!debugSipSrv.empty()) {
        ini += "DebugSipSrv=" + debugSipSrv + "\r\n";
        desk_.dialogs.answers = {true};
    }
    desk_.WriteFile("Info.ini", ini);
    OpenClientForms();
    clientUp_ = true;
}

void StressTest::StopClient() {
    if (!clientUp_) return;
    clientUp_ = false;
    CloseClientForms(desk_);
}

void StressTest::TearDown() {
    StopClient();
    platform::SetMessagePump(nullptr);
    peers_.clear();
    if (standinUp_) {
        Shell("RUNDIR=" + runDir_ + " bash " + kTools + "/standin.sh stop >/dev/null 2>&1");
        Shell("rm -rf " + runDir_);
    }
}

bool StressTest::WaitIdleShown(int ms) {
    return PumpUntil([] { return Call_Status == 0 && frmMain->Tips->text() == QFromAnsi(ZH(" 空闲待机")); }, ms);
}

bool StressTest::PumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    // The loop sleeps until something happens (this timer at the latest):
    // a test that spun would take the CPU from the client it watches.
    QTimer look;
    look.start(10);
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool StressTest::Logged(const text::Ansi& part) { return testlog::LoggedOrFlushed(part); }

int StressTest::CountLogged(const text::Ansi& part) {
    const std::string all = testlog::LogText();
    int n = 0;
    for (auto at = all.find(part); at != std::string::npos; at = all.find(part, at + part.size())) ++n;
    return n;
}

SippPeer* StressTest::Sipp(const std::string& scenario, int port, const std::string& remote, int calls,
                           std::vector<std::string> extra) {
    peers_.push_back(std::make_unique<SippPeer>(scenario, port, remote, calls, std::move(extra)));
    return peers_.back()->Start() ? peers_.back().get() : nullptr;
}

bool StressTest::PumpUntilFinished(const std::vector<SippPeer*>& peers, int ms) {
    return PumpUntil(
        [&] {
            for (SippPeer* p : peers)
                if (!p->Finished()) return false;
            return true;
        },
        ms);
}

std::string StressTest::SendRaw(std::string request, int ms) {
    for (auto at = request.find("[port]"); at != std::string::npos; at = request.find("[port]"))
        request.replace(at, 6, std::to_string(kRawPort));
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kRawPort);
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in engine = local;
    engine.sin_port = htons(kEnginePort);
    std::string status;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&engine), sizeof engine) ==
            static_cast<ssize_t>(request.size())) {
        std::vector<char> buf(70000);
        PumpUntil(
            [&] {
                const ssize_t n = recv(fd, buf.data(), buf.size(), 0);
                if (n <= 0) return false;
                const std::string answer(buf.data(), static_cast<std::size_t>(n));
                const std::string line = answer.substr(0, answer.find("\r\n"));
                // Provisional answers are not the outcome.
                if (line.rfind("SIP/2.0 1", 0) == 0) return false;
                status = line;
                return true;
            },
            ms);
    }
    close(fd);
    return status;
}

void StressTest::WatchStatusTicks() {
    ticks_ = 0;
    longestGap_ = 0;
    sinceTick_.start();
    probe_ = std::make_unique<QTimer>();
    probe_->setInterval(200);
    QObject::connect(probe_.get(), &QTimer::timeout, [this] {
        ++ticks_;
        longestGap_ = std::max(longestGap_, sinceTick_.restart());
    });
    probe_->start();
}

qint64 StressTest::LongestTickGapMs() const { return std::max(longestGap_, sinceTick_.elapsed()); }

TfrmMessage* StressTest::WindowOf(const text::Ansi& number) { return FindMessageWindow(number); }

std::string StressTest::HistoryOf(const text::Ansi& number) {
    TfrmMessage* w = WindowOf(number);
    return w ? w->HistoryMsg->toPlainText().toStdString() : std::string();
}
