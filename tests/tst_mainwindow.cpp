#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/Settings.h"
#include "platform/Browser.h"
#include "platform/Shell.h"

#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QWebEngineHistory>
#include <QtTest>

using tallyra::Browser;
using tallyra::MainWindow;
using namespace tallyra::test;

namespace {
QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    DemoSiteProcess m_site;
    QTemporaryDir m_fixtures;

    QUrl portal() const { return QUrl(m_site.url(QStringLiteral("/qv/index.php?ver=171"))); }

private slots:
    void initTestCase() { QVERIFY(m_site.start(copyFixtures(m_fixtures))); }

    void startUpShowsCaptionSettingsAndPortal()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        tallyra::settings() = {};
        MainWindow w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvane--成績輸入Quillo( 版本: 1.7.1)"));
        QCOMPARE(w.PortalUrl(), m_site.url(QStringLiteral("/qv/index.php?ver=171")));
        QCOMPARE(tallyra::settings(), tallyra::Settings::defaults());
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        QCOMPARE(runInPage(w.WebBrowser1(), QStringLiteral("document.title")).toString(), QStringLiteral("教師資訊系統 入口網"));
    }

    void controlsAsDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("cmdback") << "cmdback" << "上一頁" << QRect(120, 0, 975, 375);
        QTest::newRow("cmdforward") << "cmdforward" << "下一頁" << QRect(1200, 0, 975, 375);
        QTest::newRow("cmdhome") << "cmdhome" << "回主頁" << QRect(2280, 0, 975, 375);
        QTest::newRow("cmdstop") << "cmdstop" << "停止" << QRect(3360, 0, 1095, 375);
        QTest::newRow("cmdrefresh") << "cmdrefresh" << "重新整理" << QRect(4560, 0, 1095, 375);
        QTest::newRow("Command2") << "Command2" << "更新醒目標示" << QRect(5880, 0, 1575, 375);
        QTest::newRow("Command1") << "Command1" << "匯入成績" << QRect(7560, 0, 1695, 375);
        QTest::newRow("Command3") << "Command3" << "選項設定" << QRect(9480, 0, 1215, 375);
    }

    void controlsAsDesigned()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        TestEnvironment t(m_site.server());
        t.apply();
        MainWindow w;
        auto *button = w.findChild<QPushButton *>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QCOMPARE(button->font().families().value(0), QStringLiteral("新細明體"));
    }

    void menusAsDesigned()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MainWindow w;
        QStringList top;
        for (QAction *a : w.menuBar()->actions())
            top << a->text();
        // 復原上次輸入成績 sits beside 選項, which stays a command of its own,
        // and 輸入紀錄 beside it.
        QCOMPARE(top, (QStringList{"說明", "選項", "復原上次輸入成績", "輸入紀錄", "關於"}));
        QVERIFY(!w.findChild<QAction *>("mnuUndo")->isEnabled());
        QVERIFY(w.findChild<QAction *>("mnuJournal")->isEnabled()); // the journal is there to read at any time
        QCOMPARE(w.findChild<QAction *>("Mweb")->text(), QStringLiteral("說明文件"));
        QCOMPARE(w.findChild<QAction *>("Mopt")->menu(), nullptr);
        QStringList aboutItems;
        for (QAction *a : w.findChild<QMenu *>("mnuFile")->actions())
            aboutItems << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(aboutItems, (QStringList{"關於本程式", "-", "離開"}));
    }

    void browserFillsTheClientBelowTheStrip()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget *client = w.centralWidget();
        QCOMPARE(client->size(), QSize(854, 564));
        QCOMPARE(w.WebBrowser1()->geometry(), QRect(0, 40, 854, 524));

        // Below 600 twips of client height the browser stays where it was.
        w.resize(700, w.menuBar()->height() + 30);
        QTRY_COMPARE(client->height(), 30);
        QCOMPARE(w.WebBrowser1()->geometry(), QRect(0, 40, 854, 524));

        w.resize(900, w.menuBar()->height() + 400);
        QTRY_COMPARE(client->height(), 400);
        QCOMPARE(w.WebBrowser1()->geometry(), QRect(0, 40, 900, 360));
    }

    void portalFailureShowsTheStaffPage()
    {
        TestEnvironment t(m_site.server());
        t.env.servers.portal = QStringLiteral("http://127.0.0.1:%1/qv/index.php?ver=171").arg(closedPort());
        t.apply();
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/employee.htm")))));
    }

    void signInFailureIsLeftToTheBrowser()
    {
        TestEnvironment t(m_site.server());
        t.env.servers.tis = QStringLiteral("http://127.0.0.1:%1/teacher/signform.asp").arg(closedPort());
        t.apply();
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        QSignalSpy failures(w.WebBrowser1(), &Browser::NavigateError);
        QTest::mouseClick(w.findChild<QPushButton *>("cmdhome"), Qt::LeftButton);
        QVERIFY(failures.wait(20000));
        QCOMPARE(failures.first().first().toString(), t.env.servers.tis);
        QTest::qWait(1000);
        QVERIFY(w.WebBrowser1()->url().toString().endsWith(QStringLiteral("/teacher/signform.asp")));
    }

    void backWithoutHistoryDoesNothing()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        w.WebBrowser1()->history()->clear();
        QSignalSpy loads(w.WebBrowser1()->page(), &QWebEnginePage::loadStarted);
        QTest::mouseClick(w.findChild<QPushButton *>("cmdback"), Qt::LeftButton);
        QTest::mouseClick(w.findChild<QPushButton *>("cmdforward"), Qt::LeftButton);
        QTest::qWait(500);
        QCOMPARE(loads.count(), 0);
        QCOMPARE(w.WebBrowser1()->url(), portal());
        QVERIFY(boxes.shown().isEmpty());
    }

    void backAndForwardWalkTheHistory()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        QTest::mouseClick(w.findChild<QPushButton *>("cmdhome"), Qt::LeftButton);
        const QUrl signIn(m_site.url(QStringLiteral("/teacher/signform.asp")));
        QVERIFY(waitForUrl(w.WebBrowser1(), signIn));
        QTest::mouseClick(w.findChild<QPushButton *>("cmdback"), Qt::LeftButton);
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        QTest::mouseClick(w.findChild<QPushButton *>("cmdforward"), Qt::LeftButton);
        QVERIFY(waitForUrl(w.WebBrowser1(), signIn));
    }

    void pageScriptCloseAsksFirst_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("answer");
        QTest::newRow("frame, No") << "/fixtures/close-frameset.html" << int(QMessageBox::No);
        QTest::newRow("frame, Yes") << "/fixtures/close-frameset.html" << int(QMessageBox::Yes);
        QTest::newRow("top.close() from a frame, Yes") << "/fixtures/close-top-frameset.html" << int(QMessageBox::Yes);
    }

    void pageScriptCloseAsksFirst()
    {
        QFETCH(QString, page);
        QFETCH(int, answer);
        TestEnvironment t(m_site.server());
        t.apply();
        MessageBoxScript boxes;
        boxes.answerNext(QMessageBox::StandardButton(answer));
        MainWindow w;
        w.show();
        // A page with history: the engine alone would ignore window.close() here.
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        tallyra::settings().Threshold1 = 42;
        w.WebBrowser1()->Navigate(m_site.url(page));

        QTRY_COMPARE_WITH_TIMEOUT(boxes.shown().size(), 1, 15000);
        const auto &box = boxes.shown().first();
        QCOMPARE(box.text, QStringLiteral("這樣會關閉整個Quillo程式，您確定要關閉嗎?"));
        QCOMPARE(box.title, QStringLiteral("關閉"));
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.defaultButton, QMessageBox::Yes);
        QCOMPARE(box.icon, QMessageBox::Question);

        const QString ini = t.settingsDir.filePath(QStringLiteral("qv.ini"));
        if (answer == QMessageBox::No) {
            QTest::qWait(300);
            QCOMPARE(t.endRequests, 0);
            QVERIFY(!QFile::exists(ini));
            QVERIFY(w.isVisible());
        } else {
            QCOMPARE(t.endRequests, 1);
            QCOMPARE(tallyra::SettingsFile::load(t.settingsDir.path()).Threshold1, quint8(42));
        }
    }

    void exitSavesWithoutAsking()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        tallyra::settings().LastFolder = QStringLiteral("/home/老師/成績冊/");
        w.findChild<QAction *>("mnuExit")->trigger();
        QVERIFY(!w.isVisible());
        QCOMPARE(t.endRequests, 1);
        QVERIFY(boxes.shown().isEmpty());
        QCOMPARE(readFile(t.settingsDir.filePath(QStringLiteral("qv.ini"))),
                 tallyra::SettingsFile::serialize(tallyra::settings()));
        QCOMPARE(tallyra::SettingsFile::load(t.settingsDir.path()).LastFolder, QStringLiteral("/home/老師/成績冊/"));
    }

    // Installed, qv.ini goes to a configuration folder that a new user lacks.
    void exitCreatesTheSettingsFolder()
    {
        TestEnvironment t(m_site.server());
        t.env.settingsFolder = t.homeDir.filePath(QStringLiteral(".config/tallyra"));
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.findChild<QAction *>("mnuExit")->trigger();
        QVERIFY(boxes.shown().isEmpty());
        QCOMPARE(readFile(t.env.settingsFolder + QStringLiteral("/qv.ini")),
                 tallyra::SettingsFile::serialize(tallyra::settings()));
    }

    void unsavedSettingsAreToldOnce()
    {
        TestEnvironment t(m_site.server());
        // The configuration folder cannot be made: a file stands in its way.
        QFile blocker(t.homeDir.filePath(QStringLiteral(".config")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        t.env.settingsFolder = t.homeDir.filePath(QStringLiteral(".config/tallyra"));
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        w.findChild<QAction *>("mnuExit")->trigger();
        QCOMPARE(t.endRequests, 1);
        QCOMPARE(boxes.shown().size(), 1);
        const auto &box = boxes.shown().first();
        QVERIFY2(box.text.contains(t.env.settingsFolder + QStringLiteral("/qv.ini")), qPrintable(box.text));
        QCOMPARE(box.title, QStringLiteral("儲存設定"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        w.SaveSettings();
        QCOMPARE(boxes.shown().size(), 1);
    }

    void helpMenuOpensTheHelpPageOutside()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        QList<QUrl> opened;
        tallyra::Shell::setHandler([&opened](const QUrl &url) { opened << url; });
        MainWindow w;
        w.findChild<QAction *>("Mweb")->trigger();
        tallyra::Shell::setHandler({});
        QCOMPARE(opened, QList<QUrl>{QUrl(m_site.url(QStringLiteral("/html/document.html")))});
    }
};

TALLYRA_WEB_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
