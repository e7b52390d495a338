// SPDX-License-Identifier: GPL-3.0-or-later
// The embedded browser speaks Chinese whatever the machine's region: what it
// asks the service for, and its own page when the service is down.
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "platform/qt/qt_platform.h"
#include "tests/app/main_window_fixture.h"
#include "tests/net/loopback_server.h"

namespace {

QString PageText(QWebEnginePage* page) {
    QString text;
    bool done = false;
    page->toPlainText([&](const QString& t) {
        text = t;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 5000)) return {};
    return text;
}

class BrowserLanguageTest : public MainWindowTest {};

TEST_F(BrowserLanguageTest, AcceptLanguageAndTheBrowsersOwnPagesAreChinese) {
    nettest::LoopbackServer server({nettest::Answer("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nok")});
    TfrmMain& w = Main();
    w.CppWebBrowser->load(QUrl(QString::fromStdString(server.Url("/page"))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.Requests().empty(); }, 20000));
    EXPECT_NE(server.Requests()[0].find("\r\nAccept-Language: zh-CN,zh\r\n"), std::string::npos)
        << server.Requests()[0];

    // The service is down: the browser's own page says so, in Chinese.
    w.CppWebBrowser->load(QUrl(QString("http://127.0.0.1:%1/").arg(nettest::UnusedPort())));
    QString text;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            text = PageText(w.CppWebBrowser->page());
            return text.contains(Q("无法访问此网站"));
        },
        20000))
        << text.toStdString();
}

TEST(ClientLanguage, FrameworkDialogButtonsAreChinese) {
    ASSERT_TRUE(platform::InstallQtTranslations());
    QMessageBox box(QMessageBox::Question, "t", "t", QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), Q("是(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), Q("否(&N)"));
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), Q("确定"));
}

}  // namespace
