// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/caret_rest.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace platform {
namespace {

class CaretRest : public QObject {
public:
    CaretRest(QObject* parent, int flashMs, int idleMs) : QObject(parent), flashMs_(flashMs) {
        idle_.setSingleShot(true);
        idle_.setInterval(idleMs);
        // Every text box of the program listens to the flash time: at 0 its
        // caret is drawn steadily and its blink timer stops.
        connect(&idle_, &QTimer::timeout, this, [] { QApplication::setCursorFlashTime(0); });
        idle_.start();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::FocusIn:
            if (QApplication::cursorFlashTime() != flashMs_) QApplication::setCursorFlashTime(flashMs_);
            idle_.start();
            break;
        default: break;
        }
        return QObject::eventFilter(watched, e);
    }

private:
    const int flashMs_;
    QTimer idle_;
};

}  // namespace

QObject* RestCaretWhenIdle(int idleMs) {
    const int flashMs = QApplication::cursorFlashTime();
    if (!qApp || flashMs <= 0) return nullptr;
    auto* rest = new CaretRest(qApp, flashMs, idleMs);
    qApp->installEventFilter(rest);
    return rest;
}

}  // namespace platform
