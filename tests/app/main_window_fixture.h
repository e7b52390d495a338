// SPDX-License-Identifier: GPL-3.0-or-later
// A main window over a fresh temporary folder, the desktop fakes and the
// recording engine.
#pragma once
#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

#include "app/main_window.h"
#include "call/call_control.h"
#include "core/password_cipher.h"
#include "core/shared_state.h"
#include "platform/qt/qt_text.h"
#include "tests/support/fake_engine.h"
#include "tests/support/platform_fakes.h"

class MainWindowTest : public ::testing::Test {
protected:
    fakes::Desktop desk;
    std::unique_ptr<TfrmMain> main_;

    void SetUp() override { fake_engine::Reset(); }
    void TearDown() override { main_.reset(); }

    // Info.ini as an installation ships it, with the credentials enciphered.
    void WriteInfoIni(const text::Ansi& account, const text::Ansi& adsl = "tel", const text::Ansi& autoLogin = "0",
                      const text::Ansi& pid = "77") {
        desk.WriteFile("Info.ini", "[LoadInfo]\r\nPID=" + pid + "\r\nAccount=" + EncryptText(account) +
                                       "\r\nPwd=" + EncryptText("secret1") + "\r\nAutoLogin=" + autoLogin +
                                       "\r\nAutoRun=1\r\nsADSL_Type=" + adsl + "\r\nNewUser=0\r\n");
    }

    TfrmMain& Main() {
        if (!main_) main_ = std::make_unique<TfrmMain>();
        return *main_;
    }

    // Runs the message loop until `work` (started from inside it) ends the
    // loop, or gives up after a bound; true when the loop was ended by `work`.
    static bool LoopEndsAfter(const std::function<void()>& work) {
        bool bounded = false;
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, [&bounded] {
            bounded = true;
            QApplication::quit();
        });
        bound.start(10000);
        QTimer::singleShot(0, work);
        QApplication::exec();
        return !bounded;
    }
};

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
