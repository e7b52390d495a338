// SPDX-License-Identifier: GPL-3.0-or-later
// The anchor of the start-up, idle and memory benchmarks: the smallest Qt
// WebEngine program that shows a page in a window. It prints the same
// milestones as the client's "ravelo.startup" category (wall-clock ms since
// the epoch), so both can be timed from the moment they are started.
//
//   webview_min URL
#include <QApplication>
#include <QWebEngineView>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

void Mark(const char* milestone) {
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::fprintf(stderr, "webview_min: %s at %.3f ms since the epoch\n", milestone, ms);
}

class ExposeWatch : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (!shown_ && e->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            shown_ = true;
            Mark("window shown");
        }
        return QObject::eventFilter(watched, e);
    }

private:
    bool shown_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: webview_min URL\n");
        return 2;
    }
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QWebEngineView view;
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&loaded](bool ok) {
        if (ok && !loaded) Mark("page loaded");
        loaded = loaded || ok;
    });
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    view.resize(860, 550);
    view.show();
    ExposeWatch watch;
    view.windowHandle()->installEventFilter(&watch);
    return app.exec();
}
