// The school's system over HTTPS, as a browser takes it: a certificate from
// an authority the machine trusts loads and takes a transfer; any other is
// refused with the engine's own error page, where no transfer can run.
#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/Settings.h"
#include "import/TransferJournal.h"
#include "import/TransferRun.h"
#include "import/WorkbookSession.h"
#include "platform/Browser.h"
#include "platform/workbook/EmbeddedSpreadsheet.h"

#include <QPushButton>

using namespace tallyra::test;
using tallyra::MainWindow;

namespace {
const QString kDemoBooks = QStringLiteral(TALLYRA_TEST_SOURCE_DIR "/../demo/gradebooks/示範成績冊");
const QString kNotAGradePage = QStringLiteral("無法找到相關欄位，請檢查是否在正確的成績輸入視窗!");

// The browser's certificate database lives under HOME: the test's own.
QTemporaryDir &home()
{
    static QTemporaryDir dir;
    return dir;
}
} // namespace

class TestHttps : public QObject {
    Q_OBJECT

    QTemporaryDir m_certificates;
    QTemporaryDir m_fixtures;
    DemoSiteProcess m_trusted;
    DemoSiteProcess m_untrusted;

    QString fieldValue(tallyra::Browser *browser, const QString &name)
    {
        return runInPage(browser, QStringLiteral("window.frames['FCONTENT'].document.forms.wlist['%1'].value").arg(name))
            .toString();
    }

private slots:
    void initTestCase()
    {
        TestAuthority trusted, untrusted;
        QString error;
        const QString trustedFolder = m_certificates.filePath(QStringLiteral("trusted"));
        const QString untrustedFolder = m_certificates.filePath(QStringLiteral("untrusted"));
        QVERIFY(QDir().mkpath(trustedFolder) && QDir().mkpath(untrustedFolder));
        QVERIFY2(trusted.make(trustedFolder, QStringLiteral("Tallyra Test School CA"), &error), qPrintable(error));
        QVERIFY2(untrusted.make(untrustedFolder, QStringLiteral("Unknown CA"), &error), qPrintable(error));
        QVERIFY2(trusted.trustIn(home().path(), &error), qPrintable(error));
        const QString fixtures = copyFixtures(m_fixtures);
        QVERIFY(m_trusted.start(fixtures, trusted.certificate(), trusted.key()));
        QVERIFY(m_untrusted.start(fixtures, untrusted.certificate(), untrusted.key()));
        tallyra::Spreadsheet::setFactory(&tallyra::EmbeddedSpreadsheet::start);
    }

    void trustedAuthorityLoadsAndTakesATransfer()
    {
        TestEnvironment t(m_trusted.server());
        t.apply();
        QVERIFY(t.env.servers.portal.startsWith(QStringLiteral("https://127.0.0.1:")));
        tallyra::settings() = tallyra::Settings::defaults();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), QUrl(t.env.servers.portal)));
        QVERIFY(openDemoClass(w.WebBrowser1(), m_trusted, QStringLiteral("301")));
        QVERIFY(w.IsGradePage());

        tallyra::WorkbookSession session;
        const QStringList sheets = session.open(kDemoBooks + QStringLiteral(".xlsx"), true);
        const int sheet = int(sheets.indexOf(QStringLiteral("三年一班國文"))) + 1;
        QVERIFY(sheet > 0);
        boxes.answerNext(QMessageBox::Yes); // the column check, should it ask
        tallyra::TransferRun run(&w, w.WebBrowser1(), session, {sheet, sheets[sheet - 1], QStringLiteral("B"), 5}, {});
        QCOMPARE(run.run(false), tallyra::TransferRun::Next::Close);
        QCOMPARE(fieldValue(w.WebBrowser1(), QStringLiteral("S091001")), QStringLiteral("82"));
        const auto journal = tallyra::TransferJournal(t.env.journalPath).load().entries;
        QCOMPARE(journal.size(), 1);
        QVERIFY(journal.first().pageUrl.startsWith(m_trusted.url(QStringLiteral("/teacher/"))));
        for (const auto &instance : tallyra::EmbeddedSpreadsheet::running())
            instance->quit();
    }

    void otherCertificateShowsTheErrorPageAndRefuses()
    {
        TestEnvironment t(QStringLiteral("127.0.0.1:%1").arg(closedPort()));
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        const QUrl page(m_untrusted.url(QStringLiteral("/fixtures/grade-frameset.html")));
        QVERIFY(!navigateAndWait(w.WebBrowser1(), page));
        // The engine's error page, naming the cause; never the site's page.
        QTRY_VERIFY_WITH_TIMEOUT(runInPage(w.WebBrowser1(), QStringLiteral("document.documentElement.innerText"))
                                     .toString()
                                     .contains(QStringLiteral("ERR_CERT_AUTHORITY_INVALID")),
                                 10000);
        QVERIFY(!w.IsGradePage());
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().first().text, kNotAGradePage);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!QFile::exists(t.env.journalPath));
    }
};

int main(int argc, char *argv[])
{
    qputenv("HOME", home().path().toLocal8Bit());
    tallyra::test::prepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TestHttps test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_https.moc"
