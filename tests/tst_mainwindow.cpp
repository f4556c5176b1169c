#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/Settings.h"
#include "page/GradePage.h"
#include "platform/Browser.h"
#include "platform/Shell.h"

#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QElapsedTimer>
#include <QGuiApplication>
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
        w.resize(700, w.menuBar()->height() + w.statusBar()->height() + 30);
        QTRY_COMPARE(client->height(), 30);
        QCOMPARE(w.WebBrowser1()->geometry(), QRect(0, 40, 854, 524));

        w.resize(900, w.menuBar()->height() + w.statusBar()->height() + 400);
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

    // A frame asking to close every 100 ms while the question is open: one
    // question, never one inside another; No keeps Tallyra running.
    void closeLoopAsksOneQuestionAtATime()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        int asked = 0;
        int open = 0;
        int mostOpen = 0;
        tallyra::MessageBox::setHandler([&](const tallyra::MessageBox::Request &) {
            ++asked;
            mostOpen = std::max(mostOpen, ++open);
            // The first stays open for 30 s, as a teacher away from the desk
            // would leave it, with the page asking on underneath.
            QTest::qWait(asked == 1 ? 30000 : 100);
            --open;
            return QMessageBox::No;
        });
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        w.WebBrowser1()->Navigate(m_site.url(QStringLiteral("/fixtures/close-loop-frameset.html")));
        QTRY_VERIFY_WITH_TIMEOUT(asked >= 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(asked >= 2, 40000);
        QTest::qWait(2000); // answered No twice within 10 s: the page is no longer heard
        tallyra::MessageBox::setHandler({});
        QCOMPARE(mostOpen, 1);
        QCOMPARE(asked, 2);
        QCOMPARE(t.endRequests, 0);
        QVERIFY(w.isVisible());
        auto *status = w.findChild<QStatusBar *>(QStringLiteral("mainStatus"));
        QCOMPARE(status->currentMessage(), QStringLiteral("這個網頁一再要求關閉 Quillo，換頁之前不再詢問。"));
    }

    // A press that sends the page to another program's scheme goes nowhere.
    void customSchemeNeverReachesTheDesktop_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("a press in a frame") << "scheme-click-frameset.html";
    }

    void customSchemeNeverReachesTheDesktop()
    {
        // Only a real display's platform hands URLs to the desktop's opener:
        // tst_mainwindow_desktop runs this on the X server of the test run.
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs the xcb platform (tst_mainwindow_desktop)");
        QFETCH(QString, page);
        TestEnvironment t(m_site.server());
        t.apply();
        QTemporaryDir bin;
        const QString record = bin.filePath(QStringLiteral("opened"));
        {
            QFile opener(bin.filePath(QStringLiteral("xdg-open")));
            QVERIFY(opener.open(QIODevice::WriteOnly));
            opener.write(QStringLiteral("#!/bin/sh\necho \"$@\" >> '%1'\n").arg(record).toUtf8());
            opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
        MainWindow w;
        w.resize(900, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        QVERIFY(navigateAndWait(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/fixtures/") + page))));
        QTest::qWait(2000); // until the page is drawn: a press before lands nowhere
        QWidget *surface = w.WebBrowser1()->focusProxy();
        const QPoint at(surface->width() - 50, 50);
        QTest::mouseMove(surface, at);
        QTest::mousePress(surface, Qt::LeftButton, {}, at);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, at, 50);
        QTRY_COMPARE_WITH_TIMEOUT(runInPage(w.WebBrowser1(), QStringLiteral(
                                      "window.frames['FCONTENT'].document.body.dataset.pressed || ''")).toString(),
                                  QStringLiteral("1"), 5000);
        auto *status = w.findChild<QStatusBar *>(QStringLiteral("mainStatus"));
        QTRY_VERIFY_WITH_TIMEOUT(status->currentMessage().contains(QStringLiteral("tallyra-test:")), 10000);
        QTest::qWait(1500);
        qputenv("PATH", path);
        QVERIFY(!QFile::exists(record));
    }

    // From the third dialog within 10 s the page can be silenced; then it is.
    void alertLoopCanBeSilenced()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        QStringList boxes;
        tallyra::MessageBox::setHandler([&](const tallyra::MessageBox::Request &request) {
            boxes << request.checkBoxText;
            if (request.checked && !request.checkBoxText.isEmpty())
                *request.checked = true;
            return QMessageBox::Ok;
        });
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        w.WebBrowser1()->Navigate(m_site.url(QStringLiteral("/fixtures/alert-loop-frameset.html")));
        QTRY_VERIFY_WITH_TIMEOUT(boxes.size() >= 3, 15000);
        QTest::qWait(2000);
        tallyra::MessageBox::setHandler({});
        QCOMPARE(boxes, (QStringList{QString(), QString(), tallyra::BrowserPage::silenceText()}));
    }

    // A page whose script never yields: the commands say so, and 回主頁 still leaves it.
    void hungPageLetsTheTeacherLeave()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), portal()));
        QVERIFY(navigateAndWait(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/fixtures/hung-frameset.html")))));
        QTest::qWait(800);
        w.WebBrowser1()->setScriptTimeoutMs(2000);
        w.Command1_Click();
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().first().text, tallyra::GradePage::notRespondingText());
        QCOMPARE(boxes.shown().first().title, QStringLiteral("輸入成績"));
        QElapsedTimer clock;
        clock.start();
        w.findChild<QPushButton *>(QStringLiteral("cmdhome"))->click();
        QVERIFY(waitForUrl(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/teacher/signform.asp"))), 5000));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
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
