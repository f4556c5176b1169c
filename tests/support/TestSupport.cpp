#include "support/TestSupport.h"

#include "platform/Browser.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>

#include <unistd.h>

namespace tallyra::test {

void prepareWebEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                "--disable-gpu --disable-background-networking --disable-component-update "
                "--no-first-run --disable-sync");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::tempPath() + QStringLiteral("/tallyra-runtime-") + QString::number(::geteuid());
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
}

DemoSiteProcess::~DemoSiteProcess()
{
    if (m_process) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool DemoSiteProcess::start(const QString &fixturesFolder, const QString &certificate, const QString &key)
{
    m_process = std::make_unique<QProcess>();
    QStringList args{QStringLiteral("--port"), QStringLiteral("0")};
    if (!fixturesFolder.isEmpty())
        args << QStringLiteral("--fixtures") << fixturesFolder;
    m_https = !certificate.isEmpty();
    if (m_https)
        args << QStringLiteral("--tls") << certificate << key;
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral(TALLYRA_BIN_DIR "/tallyra-demo-site"), args);
    if (!m_process->waitForStarted(10000))
        return false;
    while (!m_process->canReadLine()) {
        if (!m_process->waitForReadyRead(10000))
            return false;
    }
    bool ok = false;
    m_port = m_process->readLine().trimmed().toInt(&ok);
    return ok && m_port > 0;
}

QString DemoSiteProcess::server() const
{
    return (m_https ? QStringLiteral("https://") : QString()) + QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString DemoSiteProcess::url(const QString &path) const
{
    return (m_https ? QString() : QStringLiteral("http://")) + server() + path;
}

namespace {
bool runTool(const QString &program, const QStringList &args, QString *error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok && error)
        *error = program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
    return ok;
}
} // namespace

bool TestAuthority::make(const QString &folder, const QString &name, QString *error)
{
    m_folder = folder;
    m_name = name;
    const QString openssl = QStringLiteral("openssl");
    const QString extensions = folder + QStringLiteral("/site.ext");
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    // Chromium checks the address against subjectAltName only.
    ext.write("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
              "extendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1\n");
    ext.close();
    return runTool(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                             "-keyout", folder + "/ca.key", "-out", authority(), "-subj", "/CN=" + name,
                             "-addext", "basicConstraints=critical,CA:TRUE",
                             "-addext", "keyUsage=critical,keyCertSign,cRLSign"}, error)
           && runTool(openssl, {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", key(), "-out", folder + "/site.csr",
                                "-subj", "/CN=127.0.0.1"}, error)
           && runTool(openssl, {"x509", "-req", "-in", folder + "/site.csr", "-CA", authority(), "-CAkey",
                                folder + "/ca.key", "-CAcreateserial", "-days", "2", "-out", certificate(),
                                "-extfile", extensions}, error);
}

bool TestAuthority::trustIn(const QString &home, QString *error) const
{
    const QString db = home + QStringLiteral("/.pki/nssdb");
    if (!QDir().mkpath(db))
        return false;
    const QString where = QStringLiteral("sql:") + db;
    if (!QFile::exists(db + QStringLiteral("/cert9.db"))
        && !runTool(QStringLiteral("certutil"), {"-N", "-d", where, "--empty-password"}, error))
        return false;
    return runTool(QStringLiteral("certutil"), {"-A", "-d", where, "-n", m_name, "-t", "C,,", "-i", authority()}, error);
}

int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

QString copyFixtures(const QTemporaryDir &into)
{
    const QString source = QStringLiteral(TALLYRA_TEST_FIXTURES "/pages");
    const QString target = into.path() + QStringLiteral("/pages");
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString copy = target + file.mid(source.size());
        QDir().mkpath(QFileInfo(copy).path());
        QFile::copy(file, copy);
    }
    QDir().mkpath(target);
    return target;
}

MessageBoxScript::MessageBoxScript()
{
    MessageBox::setHandler([this](const MessageBox::Request &request) {
        m_shown.push_back(request);
        if (m_answers.isEmpty())
            return QMessageBox::NoButton;
        return m_answers.takeFirst();
    });
}

MessageBoxScript::~MessageBoxScript() { MessageBox::setHandler({}); }

TestEnvironment::TestEnvironment(const QString &server)
{
    env = AppEnvironment::compiledIn();
    env.servers = ServerFile::onServer(server, env.servers.authorMail);
    env.applicationFolder = QStringLiteral(TALLYRA_BIN_DIR);
    env.dataFolder = env.applicationFolder;
    env.settingsFolder = settingsDir.path();
    env.reportPath = homeDir.path() + QStringLiteral("/toExcelLog.txt");
    env.journalPath = homeDir.path() + QStringLiteral("/state/tallyra/transfers.tsv");
    env.serversFile = settingsDir.path() + QStringLiteral("/servers.ini");
    env.persistentBrowserProfile = false;
    env.endApplication = [this] { ++endRequests; };
}

TestEnvironment::~TestEnvironment() { AppEnvironment::setCurrent(AppEnvironment::compiledIn()); }

bool waitForUrl(Browser *browser, const QUrl &url, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    bool loaded = false;
    auto connection = QObject::connect(browser->page(), &QWebEnginePage::loadingChanged,
                                       [&](const QWebEngineLoadingInfo &info) {
                                           if (info.url() == url && info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
                                               loaded = true;
                                       });
    while (!loaded && timer.elapsed() < timeoutMs) {
        if (browser->url() == url && !browser->page()->isLoading())
            loaded = true;
        else
            QTest::qWait(20);
    }
    QObject::disconnect(connection);
    return loaded;
}

bool navigateAndWait(Browser *browser, const QUrl &url, int timeoutMs)
{
    // The page a test before left may still be navigating somewhere (a
    // script's timer, say) and take over: once more when the browser ended
    // up elsewhere, and the failure said in the log.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QSignalSpy spy(browser->page(), &QWebEnginePage::loadFinished);
        browser->Navigate(url.toString());
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            if (!spy.isEmpty() && browser->url() == url && !browser->page()->isLoading())
                return spy.last().first().toBool();
            QTest::qWait(20);
        }
        qWarning("navigateAndWait: %s not reached in %d ms: at %s, %s, %d loads finished", qPrintable(url.toString()),
                 timeoutMs, qPrintable(browser->url().toString()),
                 browser->page()->isLoading() ? "loading" : "not loading", int(spy.size()));
    }
    return false;
}

bool waitForLoad(Browser *browser, int timeoutMs)
{
    QSignalSpy spy(browser->page(), &QWebEnginePage::loadFinished);
    if (!spy.wait(timeoutMs))
        return false;
    return spy.first().first().toBool();
}

bool openDemoClass(Browser *browser, const DemoSiteProcess &site, const QString &classCode)
{
    if (!navigateAndWait(browser, QUrl(site.url(QStringLiteral("/teacher/signform.asp")))))
        return false;
    runInPage(browser, QStringLiteral("document.forms.signform.account.value = '王老師';"
                                      "document.forms.signform.password.value = 'pw';"
                                      "document.forms.signform.submit();"));
    if (!waitForUrl(browser, QUrl(site.url(QStringLiteral("/teacher/main.asp")))))
        return false;
    runInPage(browser, QStringLiteral("window.frames['FCONTENT'].location.href = '/teacher/grade.asp?class=%1'").arg(classCode));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000) {
        const QVariant ready = runInPage(browser, QStringLiteral(
            "(function () { try { const d = window.frames['FCONTENT'].document;"
            " return d.readyState === 'complete' && d.location.search.indexOf('class=%1') >= 0 && !!d.forms.wlist; }"
            " catch (e) { return false; } })()").arg(classCode));
        if (ready.toBool())
            return true;
        QTest::qWait(20);
    }
    return false;
}

QVariant runInPage(Browser *browser, const QString &script, int timeoutMs)
{
    struct Answer {
        QVariant value;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    browser->page()->runJavaScript(script, QWebEngineScript::MainWorld, [answer](const QVariant &v) {
        answer->value = v;
        answer->done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!answer->done && timer.elapsed() < timeoutMs)
        QTest::qWait(10);
    return answer->value;
}

} // namespace tallyra::test
