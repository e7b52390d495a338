// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/browser_engine.h"

#include <QCoreApplication>
#include <QQuickWindow>
#include <QWebEngineProfile>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace browser {
namespace {

bool g_software = false;
bool g_glIntegrationSet = false;

// The engine's switches. Its network service and GPU work run inside this
// process, so the second zygote it keeps for unsandboxed helpers would only
// hold memory: such a helper, when one is needed, is started on its own.
char kArgsMarker[] = "--webEngineArgs";
char kNoUnsandboxedZygote[] = "--no-unsandboxed-zygote";

// A GPU shows up as a render node. Without one, OpenGL is Mesa's software
// rasterizer: it loads LLVM into the process (about 50 MB resident) and
// composites every repaint of the main window through it, to draw what
// plain software drawing draws as fast.
bool HasRenderNode() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", ec))
        if (entry.path().filename().string().rfind("renderD", 0) == 0) return true;
    return false;
}

bool Set(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

std::vector<char*> PrepareEngine(int argc, char** argv) {
    // A user's own choice of drawing (the toolkit's variables) is left alone.
    g_software =
        !HasRenderNode() && !Set("QT_QUICK_BACKEND") && !Set("QSG_RHI_BACKEND") && !Set("QT_XCB_GL_INTEGRATION");
    if (g_software) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);  // the browser then skips the GPU too
        setenv("QT_XCB_GL_INTEGRATION", "none", 1);                    // and the toolkit never creates a GL context
        g_glIntegrationSet = true;
    } else {
        // The embedded browser shares its GL context with the widgets.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
    std::vector<char*> args(argv, argv + argc);
    bool marker = false;
    for (char* a : args) marker = marker || std::string(a) == kArgsMarker;
    if (!marker) args.push_back(kArgsMarker);
    args.push_back(kNoUnsandboxedZygote);
    args.push_back(nullptr);
    return args;
}

void FinishEngineSetup() {
    // Read when the display connection was made; programs the client starts
    // (the user's web browser) must not inherit it. Set last, it is the last
    // entry of the environment: taking it away moves no other entry under a
    // thread that reads the environment meanwhile (the early login's).
    if (g_glIntegrationSet) unsetenv("QT_XCB_GL_INTEGRATION");
    // The pages' profile keeps nothing on disk; its memory cache is held
    // small, since the service's page is small and the day is long.
    QWebEngineProfile::defaultProfile()->setHttpCacheMaximumSize(2 * 1024 * 1024);
}

}  // namespace browser
