// SPDX-License-Identifier: GPL-3.0-or-later
// Test doubles for the desktop seams: they record what the program showed,
// played, opened and registered, and answer as a test scripts them.
#pragma once
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/autostart.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/sound.h"

namespace fakes {

struct ShownDialog {
    std::string kind;  // "warning", "info", "question", "message", "warning-message"
    std::string text;  // CP936
    std::string caption;
};

class Dialogs : public platform::Dialogs {
public:
    std::vector<ShownDialog> shown;
    std::deque<bool> answers;  // for AskYesNo, front first; empty answers No
    // Runs while a dialog is open, as the events a modal box lets through
    // would; not again for a dialog opened from inside it.
    std::function<void()> whileOpen;

    void ShowWarningBox(const std::string& t, const std::string& c) override { Show({"warning", t, c}); }
    void ShowInfoBox(const std::string& t, const std::string& c) override { Show({"info", t, c}); }
    bool AskYesNo(const std::string& t, const std::string& c) override {
        Show({"question", t, c});
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowMessage(const std::string& t) override { Show({"message", t, ""}); }
    void ShowWarningMessage(const std::string& t) override { Show({"warning-message", t, ""}); }

private:
    void Show(ShownDialog d) {
        shown.push_back(std::move(d));
        if (!whileOpen || inside_) return;
        inside_ = true;
        whileOpen();
        inside_ = false;
    }
    bool inside_ = false;
};

class Sound : public platform::Sound {
public:
    struct Played {
        std::string path;
        bool loop;
    };
    std::vector<Played> played;
    int stops = 0;
    void Play(const std::string& p, bool loop) override { played.push_back({p, loop}); }
    void Stop() override { ++stops; }
};

class Shell : public platform::Shell {
public:
    std::vector<std::string> opened;
    bool Open(const std::string& t) override {
        opened.push_back(t);
        return true;
    }
};

class AutoStart : public platform::AutoStart {
public:
    std::vector<std::string> registered;
    bool Register(const std::string& p) override {
        registered.push_back(p);
        return true;
    }
};

class Clock : public platform::Clock {
public:
    platform::LocalTime now{2026, 12, 8, 9, 30, 0};
    platform::LocalTime Now() override { return now; }
};

// Installs every fake and a fresh temporary folder that serves as both the
// executable's folder and the working folder; undone on destruction.
class Desktop {
public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    Dialogs dialogs;
    Sound sound;
    Shell shell;
    AutoStart autostart;
    Clock clock;
    std::filesystem::path dir;

    void WriteFile(const std::string& name, const std::string& bytes) const;
    std::string ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;

private:
    std::filesystem::path oldCwd_;
};

}  // namespace fakes
