// The packages as a school installs them: unpacked into a folder of the
// test's own (the machine is not changed) and run from there by an
// unprivileged user, the way a teacher runs an installed Tallyra.
#include "core/AppInfo.h"
#include "core/ServerFile.h"
#include "core/Settings.h"
#include "platform/calc/CalcSpreadsheet.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <unistd.h>

using tallyra::AppInfo;
using tallyra::CalcSpreadsheet;
using tallyra::Settings;
namespace SettingsFile = tallyra::SettingsFile;

namespace {

const QString kDesktopId = QStringLiteral(TALLYRA_DESKTOP_ID);

QString run(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        p.kill();
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAll());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The page the browser shows, as its remote debugging interface reports it.
QJsonArray browserPages(int debugPort)
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json/list").arg(debugPort))));
    QElapsedTimer timer;
    timer.start();
    while (!reply->isFinished() && timer.elapsed() < 5000)
        QTest::qWait(20);
    const QJsonArray pages = QJsonDocument::fromJson(reply->readAll()).array();
    reply->deleteLater();
    return pages;
}

// Watches a file for being opened by any process.
class OpenWatch {
public:
    explicit OpenWatch(const QString &path)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN);
    }
    ~OpenWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool opened() const
    {
        alignas(inotify_event) char buffer[4096];
        return m_fd >= 0 && ::read(m_fd, buffer, sizeof buffer) > 0;
    }

private:
    int m_fd;
};

} // namespace

class TestInstalled : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_root; // what the packages unpack into: m_root + "/usr/..."
    QString m_bin;
    QProcess m_site;
    int m_sitePort = -1;
    bool m_unprivileged = false; // root runs Tallyra as nobody
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    QString m_pluginReported;

    QString package(const QString &name) const
    {
        const QString dir = QStringLiteral(TALLYRA_PACKAGES_DIR);
        const QStringList found = QDir(dir).entryList({name + QLatin1Char('_') + AppInfo::version() + QStringLiteral("-1_*.deb")});
        return found.size() == 1 ? dir + QLatin1Char('/') + found.first() : QString();
    }

    // A home folder that the user running Tallyra owns.
    bool makeHome(const QString &home)
    {
        if (!QDir().mkpath(home + QStringLiteral("/runtime")))
            return false;
        QFile::setPermissions(home + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (!m_unprivileged)
            return true;
        QDirIterator it(home, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        bool ok = ::chown(QFile::encodeName(home).constData(), m_uid, m_gid) == 0;
        while (it.hasNext())
            ok = ::chown(QFile::encodeName(it.next()).constData(), m_uid, m_gid) == 0 && ok;
        return ok;
    }

    void startTallyra(QProcess &tallyra, const QString &home, int debugPort)
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
                   QStringLiteral("--disable-gpu --disable-background-networking --disable-component-update --no-first-run --disable-sync"));
        env.insert(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"), QStringLiteral("127.0.0.1:%1").arg(debugPort));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("tallyra.files.info=true"));
        env.insert(QStringLiteral("TALLYRA_TEST_SERVER"), QStringLiteral("127.0.0.1:%1").arg(m_sitePort));
        // A sanitizer build's program needs the run's sanitizer settings.
        for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (qEnvironmentVariableIsSet(name))
                env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
        tallyra.setProcessEnvironment(env);
        tallyra.setProcessChannelMode(QProcess::MergedChannels);
        tallyra.setWorkingDirectory(home);
        if (m_unprivileged) {
            const uid_t uid = m_uid;
            const gid_t gid = m_gid;
            tallyra.setChildProcessModifier([uid, gid] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                    ::_exit(126);
            });
        }
        tallyra.start(m_bin + QStringLiteral("/tallyra"), {});
    }

    // Waits until the browser shows the demo site's portal page.
    bool waitForPortal(int debugPort)
    {
        const QString portal = QStringLiteral("http://127.0.0.1:%1/qv/index.php?ver=%2").arg(m_sitePort).arg(AppInfo::versionDigits());
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            for (const QJsonValue page : browserPages(debugPort)) {
                const QJsonObject o = page.toObject();
                if (o.value(QStringLiteral("url")).toString() == portal
                    && o.value(QStringLiteral("title")).toString() == QStringLiteral("教師資訊系統 入口網"))
                    return true;
            }
            QTest::qWait(200);
        }
        return false;
    }

    // Closes Tallyra as a session's end does; true when it ended by itself.
    static bool endTallyra(QProcess &tallyra)
    {
        // Never a signal to pid 0: that is this test's whole process group.
        if (tallyra.state() != QProcess::Running || tallyra.processId() <= 0)
            return false;
        ::kill(static_cast<pid_t>(tallyra.processId()), SIGTERM);
        if (!tallyra.waitForFinished(30000)) {
            tallyra.kill();
            tallyra.waitForFinished(5000);
            return false;
        }
        return tallyra.exitStatus() == QProcess::NormalExit && tallyra.exitCode() == 0;
    }

    static QString logged(const QString &log, const QString &what)
    {
        const QRegularExpression line(QStringLiteral("tallyra\\.files: ") + QRegularExpression::escape(what)
                                      + QStringLiteral(" (.*) \\((found|missing)\\)"));
        const auto match = line.match(log);
        return match.hasMatch() ? match.captured(1) + QLatin1Char(' ') + match.captured(2) : QString();
    }

private slots:
    void initTestCase()
    {
        const QString app = package(QStringLiteral("tallyra"));
        const QString demo = package(QStringLiteral("tallyra-demo"));
        QVERIFY2(!app.isEmpty() && !demo.isEmpty(), "no packages in " TALLYRA_PACKAGES_DIR ": run scripts/package");
        m_root = m_tmp.filePath(QStringLiteral("root"));
        QVERIFY(QDir().mkpath(m_root));
        const auto traversable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                 | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(m_tmp.path(), traversable));
        QVERIFY(QFile::setPermissions(m_root, traversable));
        for (const QString &deb : {app, demo}) {
            int code = -1;
            const QString out = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, m_root}, &code);
            QVERIFY2(code == 0, qPrintable(out));
        }
        m_bin = m_root + QStringLiteral("/usr/bin");

        // Installed by root, run by a teacher: the program's folder is not theirs to write.
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            QVERIFY(nobody);
            m_unprivileged = true;
            m_uid = nobody->pw_uid;
            m_gid = nobody->pw_gid;
        } else {
            QVERIFY(QFile::setPermissions(m_bin, traversable & ~QFileDevice::WriteOwner));
        }

        m_site.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_site.start(m_bin + QStringLiteral("/tallyra-demo-site"), {QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(m_site.waitForStarted(10000));
        while (!m_site.canReadLine())
            QVERIFY(m_site.waitForReadyRead(10000));
        bool ok = false;
        m_sitePort = m_site.readLine().trimmed().toInt(&ok);
        QVERIFY(ok && m_sitePort > 0);
    }

    void cleanupTestCase()
    {
        m_site.kill();
        m_site.waitForFinished(5000);
        QFile::setPermissions(m_bin, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void packageFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("Section") << "tallyra" << "Section" << "^education$";
        QTest::newRow("Maintainer") << "tallyra" << "Maintainer" << "^Tallyra maintainers <[^@ ]+@[^@ ]+>$";
        QTest::newRow("Recommends") << "tallyra" << "Recommends" << "^libreoffice-calc, fonts-arphic-uming, fonts-arphic-ukai$";
        // From dpkg-shlibdeps: the browser, the readers and the Calc plugin's UNO runtime.
        QTest::newRow("Depends, browser") << "tallyra" << "Depends" << "libqt6webenginewidgets6 \\(>= ";
        QTest::newRow("Depends, reader") << "tallyra" << "Depends" << "libzip4 \\(>= ";
        QTest::newRow("Depends, plugin") << "tallyra" << "Depends" << "libuno-cppu3 \\(>= ";
        QTest::newRow("Description with a Chinese line") << "tallyra" << "Description" << "\\n [^\\n]*成績[^\\n]*$";
        QTest::newRow("demo Depends") << "tallyra-demo" << "Depends" << "^tallyra \\(= 1\\.7\\.1-1\\), ";
        QTest::newRow("demo Section") << "tallyra-demo" << "Section" << "^education$";
    }

    void packageFields()
    {
        QFETCH(QString, name);
        QFETCH(QString, field);
        QFETCH(QString, pattern);
        const QString value = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), package(name), field}).trimmed();
        QVERIFY2(QRegularExpression(pattern).match(value).hasMatch(), qPrintable(field + QStringLiteral(": ") + value));
    }

    void everyPackageHasItsCopyright()
    {
        for (const QString &name : {QStringLiteral("tallyra"), QStringLiteral("tallyra-demo")}) {
            const QString doc = m_root + QStringLiteral("/usr/share/doc/") + name;
            QVERIFY2(readFile(doc + QStringLiteral("/copyright")).startsWith("Format: "), qPrintable(doc));
            QVERIFY(QFileInfo::exists(doc + QStringLiteral("/changelog.Debian.gz")));
        }
    }

    // The school's addresses go in a conffile that dpkg keeps across upgrades;
    // as shipped it changes nothing, and reading it leaves no line unused.
    void serversFileIsACommentedConffile()
    {
        const QString path = m_root + QStringLiteral("/etc/tallyra/servers.ini");
        const QByteArray contents = readFile(path);
        QVERIFY2(!contents.isEmpty(), qPrintable(path));
        for (const QByteArray &line : contents.split('\n')) {
            const QByteArray t = line.trimmed();
            QVERIFY2(t.isEmpty() || t.startsWith('#') || t == "[servers]", t.constData());
        }
        for (const char *key : {"portal", "tis", "help", "school", "author_mail"})
            QVERIFY2(contents.contains(QByteArray("\n# ") + key + " = "), key);
        const auto read = tallyra::ServerFile::read(path, {});
        QVERIFY(read.problems.isEmpty());

        QTemporaryDir control;
        int code = -1;
        const QString out = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), package(QStringLiteral("tallyra")), control.path()}, &code);
        QVERIFY2(code == 0, qPrintable(out));
        QCOMPARE(readFile(control.filePath(QStringLiteral("conffiles"))).trimmed(), QByteArray("/etc/tallyra/servers.ini"));
    }

    void desktopEntryAndMetainfoValidate()
    {
        const QString entry = m_root + QStringLiteral("/usr/share/applications/") + kDesktopId + QStringLiteral(".desktop");
        const QString metainfo = m_root + QStringLiteral("/usr/share/metainfo/") + kDesktopId + QStringLiteral(".metainfo.xml");
        int code = -1;
        QString out = run(QStringLiteral("desktop-file-validate"), {entry}, &code);
        QVERIFY2(code == 0, qPrintable(out));
        out = run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo}, &code);
        QVERIFY2(code == 0, qPrintable(out));

        QHash<QString, QString> keys;
        for (const QString &line : QString::fromUtf8(readFile(entry)).split(QLatin1Char('\n'))) {
            if (const qsizetype equals = line.indexOf(QLatin1Char('=')); equals > 0)
                keys.insert(line.left(equals), line.mid(equals + 1));
        }
        QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("成績輸入小幫手 Tallyra"));
        QVERIFY(keys.value(QStringLiteral("Comment")).contains(QStringLiteral("成績")));
        QVERIFY(keys.value(QStringLiteral("Categories")).split(QLatin1Char(';')).contains(QStringLiteral("Education")));
        QCOMPARE(keys.value(QStringLiteral("Exec")), QStringLiteral("tallyra"));
        QCOMPARE(keys.value(QStringLiteral("Icon")), kDesktopId);

        const QByteArray xml = readFile(metainfo);
        for (const char *part : {"<release version=\"1.7.1\"", "<summary xml:lang=\"zh_TW\">", "<p xml:lang=\"zh_TW\">",
                                 "<screenshot type=\"default\">", "<launchable type=\"desktop-id\">"})
            QVERIFY2(xml.contains(part), part);
    }

    void iconsInEverySize()
    {
        const QString hicolor = m_root + QStringLiteral("/usr/share/icons/hicolor/");
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QImage icon(hicolor + QStringLiteral("%1x%1/apps/").arg(size) + kDesktopId + QStringLiteral(".png"));
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(icon.hasAlphaChannel());
        }
        QVERIFY(readFile(hicolor + QStringLiteral("scalable/apps/") + kDesktopId + QStringLiteral(".svg")).contains("<svg"));
    }

    // Two runs: the first finds its files where an installation keeps them
    // and writes qv.ini into the user's configuration folder; the second
    // reads that file and keeps it.
    void installedTallyraKeepsItsSettings()
    {
        QTemporaryDir homeDir;
        const QString home = homeDir.filePath(QStringLiteral("teacher"));
        QVERIFY(makeHome(home));
        QVERIFY(QFile::setPermissions(homeDir.path(), QFile::permissions(m_root)));
        const QString ini = home + QStringLiteral("/.config/tallyra/qv.ini");
        const QString startPage = m_root + QStringLiteral("/usr/share/tallyra/start.htm");
        const QString plugin = m_root + QStringLiteral("/usr/" TALLYRA_PLUGIN_INSTALL_DIR "/libtallyra-calc.so");

        const OpenWatch startPageWatch(startPage);
        QProcess first;
        const int firstDebugPort = freePort();
        startTallyra(first, home, firstDebugPort);
        QVERIFY(first.waitForStarted(10000));
        const bool portalShown = waitForPortal(firstDebugPort);
        const bool ended = endTallyra(first);
        const QString log = QString::fromUtf8(first.readAll());
        QVERIFY2(portalShown, qPrintable(log));
        QVERIFY2(ended, qPrintable(log));

        QCOMPARE(logged(log, QStringLiteral("start page:")), startPage + QStringLiteral(" found"));
        QVERIFY2(startPageWatch.opened(), "start.htm was never opened");
        QCOMPARE(logged(log, QStringLiteral("settings file:")), ini + QStringLiteral(" missing"));
        QCOMPARE(logged(log, QStringLiteral("Calc plugin:")), plugin + QStringLiteral(" found"));
        m_pluginReported = plugin;

        const Settings firstRun = SettingsFile::parse(readFile(ini));
        Settings expected = Settings::defaults();
        expected.LastFolder = home + QLatin1Char('/');
        QCOMPARE(firstRun, expected);
        QCOMPARE(readFile(ini).count("\r\n"), 11);
        QVERIFY(!QFileInfo::exists(m_bin + QStringLiteral("/qv.ini")));

        // The teacher's own choices, as the options dialog would have left them.
        Settings chosen = firstRun;
        chosen.Threshold1 = 42;
        chosen.MarkColor3 = 0x00CCFFCC;
        chosen.LastFolder = home + QStringLiteral("/成績冊/");
        QVERIFY(SettingsFile::save(QFileInfo(ini).path(), chosen));
        QVERIFY(makeHome(home));

        QProcess second;
        const int secondDebugPort = freePort();
        startTallyra(second, home, secondDebugPort);
        QVERIFY(second.waitForStarted(10000));
        const bool shownAgain = waitForPortal(secondDebugPort);
        const bool endedAgain = endTallyra(second);
        const QString secondLog = QString::fromUtf8(second.readAll());
        QVERIFY2(shownAgain && endedAgain, qPrintable(secondLog));
        QCOMPARE(logged(secondLog, QStringLiteral("settings file:")), ini + QStringLiteral(" found"));
        QCOMPARE(readFile(ini), SettingsFile::serialize(chosen));
    }

    void calcPluginWorksFromItsInstalledFolder()
    {
        if (m_pluginReported.isEmpty())
            QSKIP("the installed run did not report its Calc plugin");
        CalcSpreadsheet::Options options = CalcSpreadsheet::defaultOptions();
        if (!QFileInfo(options.officePath).isExecutable() || qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("Calc needs LibreOffice and a display: run under xvfb-run -a");
        QTemporaryDir profiles;
        options.pluginPath = m_pluginReported;
        options.profileRoot = profiles.path();
        CalcSpreadsheet::setOptions(options);
        auto calc = CalcSpreadsheet::start();
        QVERIFY2(calc, qPrintable(CalcSpreadsheet::lastStartFailure()));
        const bool opened = calc->open(m_root + QStringLiteral("/usr/share/tallyra-demo/gradebooks/示範成績冊.xlsx"), true);
        const auto sheets = calc->sheetCount();
        calc->closeActiveWorkbook();
        calc->quit();
        CalcSpreadsheet::setOptions(std::nullopt);
        QVERIFY(opened);
        QCOMPARE(sheets, std::optional<int>(4));
    }
};

QTEST_MAIN(TestInstalled)
#include "tst_installed.moc"
