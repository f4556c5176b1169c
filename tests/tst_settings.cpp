#include "app/Settings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <unistd.h>

using tallyra::Settings;
namespace SettingsFile = tallyra::SettingsFile;

Q_DECLARE_METATYPE(tallyra::Settings)

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

        // The helper, copied where an unprivileged user can run it.
        const QString helper = dir.filePath(QStringLiteral("settings_writer"));
        QVERIFY(QFile::copy(QStringLiteral(TALLYRA_BIN_DIR "/settings_writer"), helper));
        const auto everyoneReads = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                   | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                   | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), everyoneReads));
        QVERIFY(QFile::setPermissions(helper, everyoneReads));
        QVERIFY(QFile::setPermissions(folder, everyoneReads & ~QFileDevice::WriteOwner));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther));

        QProcess run;
        if (::geteuid() == 0)
            run.start(QStringLiteral("runuser"), {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), helper, folder});
        else
            run.start(helper, {folder});
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 3); // the helper ran and its save failed

        QCOMPARE(readFile(path), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("qv.ini")});
        QFile::setPermissions(folder, everyoneReads);
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
