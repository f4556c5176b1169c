#include "core/AppEnvironment.h"
#include "core/ServerFile.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <unistd.h>

using tallyra::FileLocations;
using tallyra::ServerAddresses;
namespace ServerFile = tallyra::ServerFile;
using tallyra::Settings;
namespace SettingsFile = tallyra::SettingsFile;

Q_DECLARE_METATYPE(tallyra::Settings)
Q_DECLARE_METATYPE(tallyra::ServerAddresses)

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const auto kEveryoneReads = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                            | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                            | QFileDevice::ExeOther;

// Runs the settings helper, copied where an unprivileged user can run it, as
// that user (nobody when the test runs as root). Returns its exit code.
int runHelperUnprivileged(const QTemporaryDir &dir, const QStringList &args, QByteArray *output = nullptr)
{
    const QString helper = dir.filePath(QStringLiteral("settings_writer"));
    if (!QFileInfo::exists(helper) && !QFile::copy(QStringLiteral(TALLYRA_BIN_DIR "/settings_writer"), helper))
        return -1;
    QFile::setPermissions(dir.path(), kEveryoneReads);
    QFile::setPermissions(helper, kEveryoneReads);
    QProcess run;
    if (::geteuid() == 0)
        run.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), helper} + args);
    else
        run.start(helper, args);
    if (!run.waitForFinished(20000) || run.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = run.readAllStandardOutput();
    return run.exitCode();
}

const ServerAddresses kDefaults{QStringLiteral("http://d:1/qv/index.php?ver=171"), QStringLiteral("http://d:1/teacher/signform.asp"),
                                 QStringLiteral("http://d:1/html/document.html"), QStringLiteral("http://d:1/employee.htm"),
                                 QStringLiteral("d@d.example")};

ServerAddresses with(QString ServerAddresses::*field, const QString &value, ServerAddresses a = kDefaults)
{
    a.*field = value;
    return a;
}

Settings custom()
{
    Settings s;
    s.AutoClose = 0;
    s.ReadOnly = 1;
    s.AutoReport = 2;
    s.AutoMark = 255;
    s.ReportThreshold = 57;
    s.Threshold1 = 45;
    s.Threshold2 = 30;
    s.MarkColor1 = 0x00123456;
    s.MarkColor2 = 0;
    s.MarkColor3 = 16777215;
    s.LastFolder = QStringLiteral("/home/t/grades/");
    return s;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void defaultFileIsTheDesignedBytes()
    {
        QTemporaryDir dir;
        QVERIFY(SettingsFile::save(dir.path(), Settings::defaults()));
        const QByteArray expected = "1\r\n1\r\n1\r\n1\r\n58\r\n55\r\n50\r\n8454143\r\n8421631\r\n16744576\r\n\""
                                    + QDir::homePath().toUtf8() + "/\"\r\n";
        QCOMPARE(readFile(dir.filePath(QStringLiteral("qv.ini"))), expected);
        // The designed 59 bytes, with "c:\" (3 bytes) replaced by home + "/".
        QCOMPARE(expected.size(), 59 - 3 + QDir::homePath().toUtf8().size() + 1);
    }

    void missingFileGivesDefaultsAndCreatesNothing()
    {
        QTemporaryDir dir;
        QCOMPARE(SettingsFile::load(dir.path()), Settings::defaults());
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void roundTrip_data()
    {
        QTest::addColumn<Settings>("values");
        QTest::newRow("defaults") << Settings::defaults();
        QTest::newRow("every field changed") << custom();
        Settings comma = custom();
        comma.LastFolder = QStringLiteral("/home/t/2nd term, class A/");
        QTest::newRow("folder with a comma") << comma;
        Settings chinese = custom();
        chinese.LastFolder = QStringLiteral("/home/老師/成績冊 112學年/");
        QTest::newRow("folder with Chinese") << chinese;
        Settings extremes = custom();
        extremes.MarkColor1 = std::numeric_limits<qint32>::min();
        extremes.MarkColor2 = std::numeric_limits<qint32>::max();
        extremes.MarkColor3 = -1;
        extremes.AutoClose = 255;
        QTest::newRow("extreme numbers") << extremes;
        Settings empty = custom();
        empty.LastFolder.clear();
        QTest::newRow("empty folder") << empty;
    }

    void roundTrip()
    {
        QFETCH(Settings, values);
        QTemporaryDir dir;
        QVERIFY(SettingsFile::save(dir.path(), values));
        QCOMPARE(SettingsFile::load(dir.path()), values);
        const QByteArray bytes = readFile(dir.filePath(QStringLiteral("qv.ini")));
        QCOMPARE(bytes.count("\r\n"), 11);
        QVERIFY(bytes.endsWith("\"\r\n"));
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Settings>("expected");

        const Settings d = Settings::defaults();
        QTest::newRow("written layout") << SettingsFile::serialize(custom()) << custom();

        QTest::newRow("one line, commas")
            << QByteArray("0,1,2,255,57,45,30,1193046,0,16777215,\"/home/t/grades/\"\r\n") << custom();

        QTest::newRow("line feeds only")
            << QByteArray("0\n1\n2\n255\n57\n45\n30\n1193046\n0\n16777215\n\"/home/t/grades/\"\n") << custom();

        Settings unquoted = d;
        unquoted.LastFolder = QStringLiteral("/home/t/成績");
        QTest::newRow("unquoted folder")
            << QByteArray("1\r\n1\r\n1\r\n1\r\n58\r\n55\r\n50\r\n8454143\r\n8421631\r\n16744576\r\n")
                   + QStringLiteral("/home/t/成績\r\n").toUtf8()
            << unquoted;

        Settings cutAtComma = d;
        cutAtComma.LastFolder = QStringLiteral("/home/t/2nd term");
        QTest::newRow("unquoted folder ends at a comma")
            << QByteArray("1,1,1,1,58,55,50,8454143,8421631,16744576,/home/t/2nd term, class A/\r\n") << cutAtComma;

        Settings badThenGood = custom();
        badThenGood.ReadOnly = d.ReadOnly;
        badThenGood.Threshold1 = d.Threshold1;
        badThenGood.MarkColor2 = d.MarkColor2;
        QTest::newRow("unreadable values keep their places")
            << QByteArray("0\r\nyes\r\n2\r\n255\r\n57\r\n4 5\r\n30\r\n1193046\r\nred\r\n16744575+1\r\n\"/home/t/grades/\"\r\n")
            << [&] { Settings s = badThenGood; s.MarkColor3 = d.MarkColor3; return s; }();

        Settings outOfRange = custom();
        outOfRange.AutoMark = d.AutoMark;
        outOfRange.MarkColor1 = d.MarkColor1;
        QTest::newRow("numbers that do not fit")
            << QByteArray("0\r\n1\r\n2\r\n256\r\n57\r\n45\r\n30\r\n2147483648\r\n0\r\n16777215\r\n\"/home/t/grades/\"\r\n")
            << outOfRange;

        Settings negativeByte = custom();
        negativeByte.AutoClose = d.AutoClose;
        QTest::newRow("negative flag")
            << QByteArray("-1\r\n1\r\n2\r\n255\r\n57\r\n45\r\n30\r\n1193046\r\n0\r\n16777215\r\n\"/home/t/grades/\"\r\n")
            << negativeByte;

        Settings shortFile = d;
        shortFile.AutoClose = 0;
        shortFile.ReadOnly = 0;
        shortFile.AutoReport = 0;
        shortFile.AutoMark = 0;
        shortFile.ReportThreshold = 40;
        shortFile.Threshold1 = 30;
        shortFile.Threshold2 = 20;
        QTest::newRow("ends after line 7") << QByteArray("0\r\n0\r\n0\r\n0\r\n40\r\n30\r\n20\r\n") << shortFile;

        QTest::newRow("empty file") << QByteArray() << d;
        QTest::newRow("blank lines only") << QByteArray("\r\n\r\n\r\n") << d;

        Settings emptyFolder = d;
        emptyFolder.LastFolder.clear();
        QTest::newRow("quoted empty folder")
            << QByteArray("1\r\n1\r\n1\r\n1\r\n58\r\n55\r\n50\r\n8454143\r\n8421631\r\n16744576\r\n\"\"\r\n") << emptyFolder;

        QTest::newRow("blank folder line")
            << QByteArray("1\r\n1\r\n1\r\n1\r\n58\r\n55\r\n50\r\n8454143\r\n8421631\r\n16744576\r\n\r\n") << d;

        Settings spaced = custom();
        QTest::newRow("blanks around values")
            << QByteArray(" 0 , 1,2 ,\t255\r\n57\r\n45\r\n30\r\n1193046\r\n0\r\n16777215\r\n  \"/home/t/grades/\"  \r\n")
            << spaced;

        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF") + SettingsFile::serialize(custom()) << custom();
    }

    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Settings, expected);
        QCOMPARE(SettingsFile::parse(bytes), expected);
    }

    void emptyFileSavesDefaultsBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qv.ini"));
        QVERIFY(writeFile(path, {}));
        const Settings loaded = SettingsFile::load(dir.path());
        QCOMPARE(loaded, Settings::defaults());
        QVERIFY(SettingsFile::save(dir.path(), loaded));
        QCOMPARE(readFile(path), SettingsFile::serialize(Settings::defaults()));
    }

    void directoryNamedLikeTheFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("qv.ini")));
        QCOMPARE(SettingsFile::load(dir.path()), Settings::defaults());
        QVERIFY(!SettingsFile::save(dir.path(), custom()));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("qv.ini"))).isDir());
    }

    void unwritableFolderKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/qv.ini");
        const QByteArray old = SettingsFile::serialize(custom());
        QVERIFY(writeFile(path, old));

        QVERIFY(QFile::setPermissions(folder, kEveryoneReads & ~QFileDevice::WriteOwner));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther));

        QCOMPARE(runHelperUnprivileged(dir, {folder}), 3); // the helper ran and its save failed

        QCOMPARE(readFile(path), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("qv.ini")});
        QFile::setPermissions(folder, kEveryoneReads);
    }

    void missingFolderIsCreated()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("config/tallyra"));
        QVERIFY(SettingsFile::save(folder, custom()));
        QCOMPARE(SettingsFile::load(folder), custom());
    }

    void folderThatCannotBeMade()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("config")), "a file, not a folder"));
        QVERIFY(!SettingsFile::save(dir.filePath(QStringLiteral("config/tallyra")), custom()));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("config"))), QByteArray("a file, not a folder"));
    }

    void systemFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("system");
        QTest::newRow("/usr/bin") << "/usr/bin" << true;
        QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true;
        QTest::newRow("/opt/tallyra") << "/opt/tallyra" << true;
        QTest::newRow("/usr itself") << "/usr" << true;
        QTest::newRow("trailing separator") << "/opt/" << true;
        QTest::newRow("climbs out of /usr") << "/usr/../home/t/tallyra" << false;
        QTest::newRow("a name that starts like /usr") << "/usrdata/tallyra" << false;
        QTest::newRow("a name that starts like /opt") << "/optional/tallyra" << false;
        QTest::newRow("an unpacked package") << "/tmp/unpacked/usr/bin" << false;
        QTest::newRow("home") << "/home/t/Tallyra" << false;
    }

    void systemFolders()
    {
        QFETCH(QString, folder);
        QFETCH(bool, system);
        QCOMPARE(FileLocations::isSystemFolder(folder), system);
    }

    void installedUnderTheSystemFoldersEvenAsRoot()
    {
        const FileLocations where = FileLocations::choose(QStringLiteral("/usr/bin"), QStringLiteral("/usr/share/tallyra"),
                                                          QStringLiteral("/home/t/.config"),
                                                          QStringLiteral("/etc/tallyra/servers.ini"));
        QVERIFY(where.installed);
        QCOMPARE(where.serversFile, QStringLiteral("/etc/tallyra/servers.ini"));
        QCOMPARE(where.settingsFolder, QStringLiteral("/home/t/.config/tallyra"));
        QCOMPARE(where.dataFolder, QStringLiteral("/usr/share/tallyra"));
    }

    void portableInAFolderOfItsOwn_data()
    {
        QTest::addColumn<bool>("startPageBeside");
        QTest::newRow("with start.htm") << true;
        QTest::newRow("start.htm only installed") << false;
    }

    void portableInAFolderOfItsOwn()
    {
        QFETCH(bool, startPageBeside);
        QTemporaryDir dir;
        if (startPageBeside)
            QVERIFY(writeFile(dir.filePath(QStringLiteral("start.htm")), "<html></html>"));
        const FileLocations where = FileLocations::choose(dir.path(), QStringLiteral("/data"), QStringLiteral("/config"),
                                                          QStringLiteral("/etc/tallyra/servers.ini"));
        QVERIFY(!where.installed);
        QCOMPARE(where.settingsFolder, dir.path());
        QCOMPARE(where.serversFile, dir.path() + QStringLiteral("/servers.ini"));
        QCOMPARE(where.dataFolder, startPageBeside ? dir.path() : QStringLiteral("/data"));
    }

    // What a teacher's own account decides about a folder it may not write.
    void unwritableFolder_data()
    {
        QTest::addColumn<int>("iniMode"); // 0: no qv.ini, 1: read-only, 2: writable by everyone
        QTest::addColumn<bool>("portable");
        QTest::newRow("no qv.ini there") << 0 << false;
        QTest::newRow("a read-only qv.ini") << 1 << false;
        QTest::newRow("a writable qv.ini") << 2 << true;
    }

    void unwritableFolder()
    {
        QFETCH(int, iniMode);
        QFETCH(bool, portable);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(folder));
        const QString ini = folder + QStringLiteral("/qv.ini");
        const QByteArray old = SettingsFile::serialize(custom());
        if (iniMode > 0) {
            QVERIFY(writeFile(ini, old));
            const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
            QVERIFY(QFile::setPermissions(ini, iniMode == 2 ? readable | QFileDevice::WriteOwner | QFileDevice::WriteGroup
                                                                  | QFileDevice::WriteOther
                                                            : readable));
        }
        QVERIFY(QFile::setPermissions(folder, kEveryoneReads & ~QFileDevice::WriteOwner));

        QByteArray answer;
        QCOMPARE(runHelperUnprivileged(dir, {QStringLiteral("--where"), folder}, &answer), 0);
        QCOMPARE(answer, portable ? "portable\n" + folder.toUtf8() + "\n" : QByteArray("installed\n/config/tallyra\n"));

        if (portable) {
            // Rewritten in place, as nothing new can be made in that folder.
            QCOMPARE(runHelperUnprivileged(dir, {folder}), 0);
            QCOMPARE(SettingsFile::load(folder).LastFolder, QStringLiteral("/written/by/helper/"));
        }
        QFile::setPermissions(folder, kEveryoneReads);
    }

    void configHome_data()
    {
        QTest::addColumn<QByteArray>("xdgConfigHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set") << QByteArray("/srv/teacher/cfg") << "/srv/teacher/cfg";
        QTest::newRow("set, trailing separator") << QByteArray("/srv/teacher/cfg/") << "/srv/teacher/cfg";
        QTest::newRow("unset") << QByteArray() << QDir::homePath() + "/.config";
        QTest::newRow("relative, which must be ignored") << QByteArray("cfg") << QDir::homePath() + "/.config";
    }

    void configHome()
    {
        QFETCH(QByteArray, xdgConfigHome);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        if (xdgConfigHome.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", xdgConfigHome);
        const QString home = FileLocations::configHome();
        if (saved.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(home, expected);
    }

    // What each address a school may write opens; empty for the refused.
    void serverPageUrl_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        const int portal = int(ServerFile::Page::Portal), tis = int(ServerFile::Page::Tis);
        QTest::newRow("host:port means http") << portal << "tis.example.edu.tw:8080" << "http://tis.example.edu.tw:8080/qv/index.php?ver=171";
        QTest::newRow("bare host") << tis << "tis.example.edu.tw" << "http://tis.example.edu.tw/teacher/signform.asp";
        QTest::newRow("https URL as written") << portal << "https://tis.example.edu.tw/qv/index.php?ver=171" << "https://tis.example.edu.tw/qv/index.php?ver=171";
        QTest::newRow("https server alone gets the page") << tis << "https://tis.example.edu.tw:8443/" << "https://tis.example.edu.tw:8443/teacher/signform.asp";
        QTest::newRow("upper-case scheme") << tis << "HTTPS://tis.example.edu.tw/a.asp" << "https://tis.example.edu.tw/a.asp";
        QTest::newRow("IPv4 with port") << portal << "127.0.0.1:8680" << "http://127.0.0.1:8680/qv/index.php?ver=171";
        QTest::newRow("ftp refused") << tis << "ftp://tis.example.edu.tw/" << "";
        QTest::newRow("no host") << tis << "https:///teacher" << "";
        QTest::newRow("port out of range") << tis << "tis.example.edu.tw:99999" << "";
        QTest::newRow("path without scheme") << tis << "tis.example.edu.tw/teacher/signform.asp" << "";
        QTest::newRow("space inside") << tis << "https://tis example.edu.tw/" << "";
        QTest::newRow("empty") << tis << "" << "";
    }

    void serverPageUrl()
    {
        QFETCH(int, page);
        QFETCH(QString, address);
        QFETCH(QString, expected);
        QString why;
        QCOMPARE(ServerFile::pageUrl(ServerFile::Page(page), address, &why), expected);
        QCOMPARE(why.isEmpty(), !expected.isEmpty());
    }

    // servers.ini as schools may leave it: the addresses used and the lines
    // named in the box at start.
    void serversFile_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<ServerAddresses>("expected");
        QTest::addColumn<QList<int>>("problemLines");
        const ServerAddresses school{QStringLiteral("https://tis.example.edu.tw/qv/index.php?ver=171"),
                                     QStringLiteral("https://tis.example.edu.tw/teacher/signform.asp"),
                                     QStringLiteral("http://help.example.edu.tw/html/document.html"),
                                     QStringLiteral("https://www.example.edu.tw/employee.htm"),
                                     QStringLiteral("it@example.edu.tw")};
        QTest::newRow("absent") << false << QByteArray() << kDefaults << QList<int>{};
        QTest::newRow("as installed, all commented")
            << true << QByteArray("# servers.ini\n[servers]\n# portal = https://tis.example.edu.tw/qv/index.php?ver=171\n; tis = x\n")
            << kDefaults << QList<int>{};
        QTest::newRow("complete")
            << true
            << QByteArray("\xEF\xBB\xBF[servers]\r\nportal = https://tis.example.edu.tw/qv/index.php?ver=171\r\n"
                          "tis=https://tis.example.edu.tw\r\nhelp = help.example.edu.tw\r\n"
                          "school = \"https://www.example.edu.tw/employee.htm\"\r\nauthor_mail = it@example.edu.tw\r\n")
            << school << QList<int>{};
        QTest::newRow("partial")
            << true << QByteArray("[servers]\nportal = https://tis.example.edu.tw/qv/index.php?ver=171\n")
            << with(&ServerAddresses::portal, school.portal) << QList<int>{};
        QTest::newRow("malformed lines keep their defaults")
            << true
            << QByteArray("[servers]\nportal https://a.example\ntis = ftp://b.example/\nhelp = help.example.edu.tw\n"
                          "colour = red\nauthor_mail = nobody\n[servers\nschool = s.example\n")
            << with(&ServerAddresses::help, school.help) << QList<int>{2, 3, 5, 6, 7};
        QTest::newRow("outside the group")
            << true << QByteArray("portal = https://a.example/\n[other]\ntis = https://b.example/\n")
            << kDefaults << QList<int>{1, 3};
        QTest::newRow("given twice: the first")
            << true << QByteArray("[servers]\nportal = https://a.example/p\nportal = https://b.example/p\n")
            << with(&ServerAddresses::portal, QStringLiteral("https://a.example/p")) << QList<int>{3};
        QTest::newRow("not UTF-8")
            << true << QByteArray("[servers]\nschool = https://\xB3\xF5.example/\n") << kDefaults << QList<int>{2};
        QTest::newRow("binary") << true << QByteArray("\x00\x01\x02", 3) << kDefaults << QList<int>{1};
    }

    void serversFile()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, contents);
        QFETCH(ServerAddresses, expected);
        QFETCH(QList<int>, problemLines);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("servers.ini"));
        if (present)
            QVERIFY(writeFile(path, contents));
        const auto result = ServerFile::read(path, kDefaults);
        QCOMPARE(result.addresses, expected);
        QList<int> lines;
        for (const auto &p : result.problems)
            lines << p.line;
        QCOMPARE(lines, problemLines);
        const QString message = ServerFile::problemMessage(path, result.problems);
        QCOMPARE(message.isEmpty(), problemLines.isEmpty());
        for (const auto &p : result.problems)
            QVERIFY2(message.contains(QStringLiteral("第 %1 行").arg(p.line)), qPrintable(message));
    }

    void unreadableServersFileIsOneProblem()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("servers.ini")));
        const auto result = ServerFile::read(dir.filePath(QStringLiteral("servers.ini")), kDefaults);
        QCOMPARE(result.addresses, kDefaults);
        QCOMPARE(result.problems.size(), 1);
        QVERIFY(ServerFile::problemMessage(dir.filePath(QStringLiteral("servers.ini")), result.problems)
                    .contains(dir.filePath(QStringLiteral("servers.ini"))));
    }

    void testServerWinsOverTheFile_data()
    {
        QTest::addColumn<QString>("testServer");
        QTest::addColumn<QString>("portal");
        QTest::newRow("unset: the file") << "" << "https://tis.example.edu.tw/qv/index.php?ver=171";
        QTest::newRow("set: the seam") << "127.0.0.1:9" << "http://127.0.0.1:9/qv/index.php?ver=171";
        QTest::newRow("set with https") << "https://127.0.0.1:9" << "https://127.0.0.1:9/qv/index.php?ver=171";
    }

    void testServerWinsOverTheFile()
    {
        QFETCH(QString, testServer);
        QFETCH(QString, portal);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("servers.ini"));
        QVERIFY(writeFile(path, "[servers]\nportal = https://tis.example.edu.tw/qv/index.php?ver=171\n"
                                "author_mail = it@example.edu.tw\n"));
        const auto result = ServerFile::forRun(path, kDefaults, testServer);
        QCOMPARE(result.addresses.portal, portal);
        QCOMPARE(result.addresses.authorMail, QStringLiteral("it@example.edu.tw"));
        QVERIFY(result.problems.isEmpty());
    }

    void writableFolderIsReplacedWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("qv.ini"));
        QVERIFY(writeFile(path, QByteArray(500, 'x')));
        QVERIFY(SettingsFile::save(dir.path(), custom()));
        QCOMPARE(readFile(path), SettingsFile::serialize(custom()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("qv.ini")});
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
