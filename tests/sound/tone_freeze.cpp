// SPDX-License-Identifier: GPL-3.0-or-later
// The tone player when the process is frozen past a tone's end (SIGSTOP,
// a child sends SIGCONT): the sound server's "ran dry" notice and the stop
// by the tone's end timer are then handled at the same moment, as in a
// client frozen through its hang-up tone. Plays ROUNDS short tones so and
// prints how many; run it from a folder with sound/ beside it, with a sound
// server (with_sound.sh).
//   sound_tone_freeze [ROUNDS]
#include <QApplication>
#include <QTimer>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/qt/qt_sound.h"
#include "platform/sound.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 60;
    platform::Sound& sound = platform::QtSound();
    int round = 0;
    std::function<void()> next = [&] {
        if (round++ == rounds) {
            sound.Stop();
            app.quit();
            return;
        }
        sound.Play(round % 2 ? "sound\\DTMF1.wav" : "sound\\DTMF2.wav", false);
        QTimer::singleShot(20, &app, [&] {
            const pid_t self = getpid();
            const pid_t waker = fork();
            if (waker == 0) {
                usleep(1000000);  // well past the 0.4 s tone
                kill(self, SIGCONT);
                _exit(0);
            }
            raise(SIGSTOP);
            waitpid(waker, nullptr, 0);
            sound.Stop();  // what the end timer, due since long, does first
            QTimer::singleShot(30, &app, next);
        });
    };
    QTimer::singleShot(0, &app, next);
    const int rc = app.exec();
    std::printf("%d tones played\n", round - 1);
    return rc;
}
