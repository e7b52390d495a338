// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QSoundEffect>
#include <QTranslator>
#include <QUrl>

#include "platform/dialogs.h"
#include "platform/executable.h"
#include "platform/message_pump.h"
#include "platform/qt/qt_text.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "platform/user_files.h"

namespace platform {
namespace {

class QtDialogs final : public Dialogs {
public:
    void ShowWarningBox(const std::string& t, const std::string& c) override {
        Box(QMessageBox::Warning, QFromAnsi(c), t, QMessageBox::Ok);
    }
    void ShowInfoBox(const std::string& t, const std::string& c) override {
        Box(QMessageBox::Information, QFromAnsi(c), t, QMessageBox::Ok);
    }
    bool AskYesNo(const std::string& t, const std::string& c) override {
        return Box(QMessageBox::Question, QFromAnsi(c), t, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void ShowMessage(const std::string& t) override {
        Box(QMessageBox::Information, QApplication::applicationName(), t, QMessageBox::Ok);
    }
    void ShowWarningMessage(const std::string& t) override {
        Box(QMessageBox::Warning, QApplication::applicationName(), t, QMessageBox::Yes);
    }
    void CloseQuestion() override {
        if (question_) question_->done(QMessageBox::No);
    }

private:
    int Box(QMessageBox::Icon icon, const QString& caption, const std::string& text,
            QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, caption, QFromAnsi(text), buttons);
        // Above the message windows, which stay on top: a box behind one of
        // them (an incoming call's question) would wait unseen.
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        if (buttons & QMessageBox::No) box.setDefaultButton(QMessageBox::No);
        QPointer<QMessageBox> outer = question_;
        if (icon == QMessageBox::Question) question_ = &box;
        const int answer = box.exec();
        question_ = outer;
        return answer;
    }

    QPointer<QMessageBox> question_;  // the open question, for CloseQuestion
};

// One player: a new sound ends the one playing, as the desktop's own wave
// playback does.
class QtSound final : public Sound {
public:
    void Play(const std::string& path, bool loop) override {
        Stop();
        effect_ = new QSoundEffect(qApp);
        effect_->setSource(QUrl::fromLocalFile(QFileInfo(QFromAnsi(NativePath(DataFile(path)))).absoluteFilePath()));
        effect_->setLoopCount(loop ? QSoundEffect::Infinite : 1);
        effect_->play();
    }
    void Stop() override {
        if (!effect_) return;
        effect_->stop();
        effect_->deleteLater();
        effect_ = nullptr;
    }

private:
    QSoundEffect* effect_ = nullptr;
};

class QtShell final : public Shell {
public:
    bool Open(const std::string& target) override {
        const QString t = QFromAnsi(NativePath(target));
        QUrl url(t);
        if (url.scheme().isEmpty() || url.scheme().size() == 1)  // a plain or drive-letter path
            url = QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath());
        return QDesktopServices::openUrl(url);
    }
};

}  // namespace

bool InstallQtTranslations() {
    static QTranslator* qtTexts = nullptr;
    if (qtTexts) return true;
    auto* t = new QTranslator(qApp);
    if (!t->load(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China), "qtbase", "_",
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    qtTexts = t;
    return true;
}

void InstallQtPlatform() {
    InstallQtTranslations();
    static QtDialogs dialogs;
    static QtSound sound;
    static QtShell shell;
    SetDialogs(&dialogs);
    SetSound(&sound);
    SetShell(&shell);
    SetMessagePump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

}  // namespace platform
