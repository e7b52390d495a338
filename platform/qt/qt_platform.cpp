// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSoundEffect>
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
        QMessageBox::warning(nullptr, QFromAnsi(c), QFromAnsi(t));
    }
    void ShowInfoBox(const std::string& t, const std::string& c) override {
        QMessageBox::information(nullptr, QFromAnsi(c), QFromAnsi(t));
    }
    bool AskYesNo(const std::string& t, const std::string& c) override {
        return QMessageBox::question(nullptr, QFromAnsi(c), QFromAnsi(t), QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    }
    void ShowMessage(const std::string& t) override {
        QMessageBox::information(nullptr, QApplication::applicationName(), QFromAnsi(t));
    }
    void ShowWarningMessage(const std::string& t) override {
        QMessageBox::warning(nullptr, QApplication::applicationName(), QFromAnsi(t), QMessageBox::Yes,
                             QMessageBox::Yes);
    }
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

void InstallQtPlatform() {
    static QtDialogs dialogs;
    static QtSound sound;
    static QtShell shell;
    SetDialogs(&dialogs);
    SetSound(&sound);
    SetShell(&shell);
    SetMessagePump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

}  // namespace platform
