// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
const char kTestRegion[] = "en_US.UTF-8";
}

int main(int argc, char** argv) {
    // A region whose long time format is not the 24-hour one, so the tests
    // see that times follow the system's format. The region is read before
    // main runs (the browser engine's start-up), so the program starts again
    // with it.
    const char* lcTime = std::getenv("LC_TIME");
    if (std::getenv("LC_ALL") || !lcTime || std::strcmp(lcTime, kTestRegion) != 0) {
        unsetenv("LC_ALL");
        setenv("LC_TIME", kTestRegion, 1);
        execv("/proc/self/exe", argv);  // on failure the tests run in the region given
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
