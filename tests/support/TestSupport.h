#pragma once

#include "core/AppEnvironment.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QVector>
#include <QtTest>

#include <memory>

namespace tallyra {
class Browser;
}

namespace tallyra::test {

// Chromium flags for a headless, sandbox-free run on a closed network. Must
// run before the QApplication is created.
void prepareWebEngine();

// The demo school site as a child process on an ephemeral loopback port.
class DemoSiteProcess {
public:
    ~DemoSiteProcess();
    // Serves `fixturesFolder` (if given) under /fixtures/; HTTPS with
    // `certificate` and `key` (PEM files) when given.
    bool start(const QString &fixturesFolder = {}, const QString &certificate = {}, const QString &key = {});
    int port() const { return m_port; }
    QString server() const; // "127.0.0.1:port", or "https://127.0.0.1:port" for HTTPS
    QString url(const QString &path) const;

private:
    std::unique_ptr<QProcess> m_process;
    int m_port = -1;
    bool m_https = false;
};

// A certificate authority of the test's own, made with openssl, and a
// certificate for 127.0.0.1 that it signed.
class TestAuthority {
public:
    // Makes both in `folder`; false, with openssl's words in `error`, when it could not.
    bool make(const QString &folder, const QString &name, QString *error = nullptr);
    QString authority() const { return m_folder + QStringLiteral("/ca.pem"); }
    QString certificate() const { return m_folder + QStringLiteral("/site.pem"); }
    QString key() const { return m_folder + QStringLiteral("/site.key"); }
    // Trusts the authority in the browser's certificate database under
    // `home` (~/.pki/nssdb), as a school's IT person would for its own.
    bool trustIn(const QString &home, QString *error = nullptr) const;

private:
    QString m_folder;
    QString m_name;
};

// A loopback port with nothing listening on it.
int closedPort();

// The committed fixture pages, copied to a folder of the test's own so that
// generated pages can join them.
QString copyFixtures(const QTemporaryDir &into);

// Answers message boxes in place of a person and records every one shown.
// A box without a queued answer is recorded and answered with NoButton.
class MessageBoxScript {
public:
    MessageBoxScript();
    ~MessageBoxScript();
    void answerNext(QMessageBox::StandardButton answer) { m_answers.push_back(answer); }
    const QVector<MessageBox::Request> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); m_answers.clear(); }

private:
    QVector<MessageBox::Request> m_shown;
    QVector<QMessageBox::StandardButton> m_answers;
};

// An environment pointing every server at `server`, with folders of the
// test's own and an end action that only counts.
struct TestEnvironment {
    explicit TestEnvironment(const QString &server);
    ~TestEnvironment();
    QTemporaryDir settingsDir;
    QTemporaryDir homeDir;
    int endRequests = 0;
    AppEnvironment env;
    void apply() { AppEnvironment::setCurrent(env); }
};

// Waits until the browser's top page has finished loading `url`.
bool waitForUrl(Browser *browser, const QUrl &url, int timeoutMs = 20000);
// Navigates and waits until that load has ended; returns its success.
bool navigateAndWait(Browser *browser, const QUrl &url, int timeoutMs = 20000);
// Waits until one load of the browser has ended; returns its success.
bool waitForLoad(Browser *browser, int timeoutMs = 20000);

// Signs in to the demo site in `browser` and opens the class's grade page
// in the content frame; true when its form can be read.
bool openDemoClass(Browser *browser, const DemoSiteProcess &site, const QString &classCode);

// Runs a script in the page's main world and returns its result.
QVariant runInPage(Browser *browser, const QString &script, int timeoutMs = 10000);

} // namespace tallyra::test

#define TALLYRA_WEB_TEST_MAIN(TestClass)                                   \
    int main(int argc, char *argv[])                                       \
    {                                                                      \
        tallyra::test::prepareWebEngine();                                 \
        QApplication app(argc, argv);                                      \
        QApplication::setQuitOnLastWindowClosed(false);                    \
        TestClass test;                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                         \
        return QTest::qExec(&test, argc, argv);                            \
    }
