#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/Settings.h"
#include "page/GradePage.h"
#include "platform/Browser.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest>

using tallyra::Browser;
using tallyra::MainWindow;
using tallyra::Settings;
using namespace tallyra::test;
namespace GradePage = tallyra::GradePage;

namespace {

// A grade page with `count` students, written beside the committed fixtures.
void writeBigPage(const QString &folder, int count)
{
    QString rows;
    for (int i = 1; i <= count; ++i) {
        const QString id = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
        rows += QStringLiteral("<tr><td><input type=\"hidden\" name=\"mStd_id\" value=\"%1\">"
                               "<input type=\"text\" name=\"S%1\" value=\"%2\"></td></tr>\n")
                    .arg(id)
                    .arg(i % 100);
    }
    QFile page(QStringLiteral("%1/grade-big%2.html").arg(folder).arg(count));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1 位學生</title></head>"
                              "<body><form name=\"wlist\"><table>\n%2</table></form></body></html>\n")
                   .arg(count)
                   .arg(rows)
                   .toUtf8());
    QFile frameset(QStringLiteral("%1/big%2-frameset.html").arg(folder).arg(count));
    QVERIFY(frameset.open(QIODevice::WriteOnly));
    frameset.write(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><frameset cols=\"*\">"
                                  "<frame name=\"FCONTENT\" src=\"grade-big%1.html\"></frameset></html>\n")
                       .arg(count)
                       .toUtf8());
}

QString frameExpression(const QString &expression)
{
    return QStringLiteral("(function () { const f = window.frames['FCONTENT'].document.forms.wlist; return %1; })()")
        .arg(expression);
}

} // namespace

class TestGradePage : public QObject {
    Q_OBJECT

    DemoSiteProcess m_site;
    QTemporaryDir m_fixtures;
    std::unique_ptr<Browser> m_browser;

    bool open(const QString &path) { return navigateAndWait(m_browser.get(), QUrl(m_site.url(path))); }

    // The computed background of every element named `name`, in document order.
    QStringList backgrounds(const QString &name)
    {
        return runInPage(m_browser.get(),
                         frameExpression(QStringLiteral("Array.from(f.elements).filter(e => e.name === %1)"
                                                        ".map(e => getComputedStyle(e).backgroundColor).join('|')")
                                             .arg(QLatin1Char('\'') + name + QLatin1Char('\''))))
            .toString()
            .split(QLatin1Char('|'));
    }

    // The inline backgrounds Tallyra wrote, one per element ("" where none).
    QStringList written()
    {
        return runInPage(m_browser.get(), frameExpression(QStringLiteral(
                                              "Array.from(f.elements).map(e => e.style.backgroundColor).join('|')")))
            .toString()
            .split(QLatin1Char('|'));
    }

private slots:
    void initTestCase()
    {
        const QString folder = copyFixtures(m_fixtures);
        writeBigPage(folder, 254);
        writeBigPage(folder, 255);
        QVERIFY(m_site.start(folder));
        m_browser = std::make_unique<Browser>(false);
        m_browser->resize(900, 700);
        m_browser->show();
    }

    void init() { tallyra::settings() = Settings::defaults(); }

    void isGradePage_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("grade");
        QTest::newRow("per-student page") << "/fixtures/grade-frameset.html" << true;
        QTest::newRow("shared-name page") << "/fixtures/shared-frameset.html" << true;
        QTest::newRow("form without score fields") << "/fixtures/shared-no-ids-frameset.html" << true;
        QTest::newRow("254 students") << "/fixtures/big254-frameset.html" << true;
        QTest::newRow("255 students") << "/fixtures/big255-frameset.html" << true;
        QTest::newRow("portal") << "/qv/index.php?ver=171" << false;
        QTest::newRow("sign-in page") << "/teacher/signform.asp" << false;
        QTest::newRow("frame of another origin") << "/fixtures/cross-origin-frameset.html" << false;
        QTest::newRow("no wlist in the frame") << "/fixtures/no-wlist-frameset.html" << false;
        QTest::newRow("wlist names no form") << "/fixtures/wlist-not-form-frameset.html" << false;
        QTest::newRow("form without elements") << "/fixtures/empty-wlist-frameset.html" << false;
        QTest::newRow("grade page itself, no frameset") << "/fixtures/grade-basic.html" << false;
        QTest::newRow("XML document") << "/fixtures/data.xml" << false;
        QTest::newRow("error page") << "/fixtures/no-such-page.html" << false;
    }

    void isGradePage()
    {
        QFETCH(QString, path);
        QFETCH(bool, grade);
        open(path);
        QCOMPARE(GradePage::IsGradePage(m_browser.get()), grade);
    }

    void highlightsPerStudentBands()
    {
        QVERIFY(open(QStringLiteral("/fixtures/bands-frameset.html")));
        QVERIFY(GradePage::markColor(m_browser.get()));
        const QString white = QStringLiteral("rgb(255, 255, 255)");
        const QString yellow = QStringLiteral("rgb(255, 255, 128)"); // MarkColor1
        const QString red = QStringLiteral("rgb(255, 128, 128)");    // MarkColor2
        const QString blue = QStringLiteral("rgb(128, 128, 255)");   // MarkColor3
        // 60, 59.99, 55 (= Threshold1), 50 (= Threshold2), empty, -5, letters, 75, 49.5, 55分, (missing), 100
        const QStringList expected{white, yellow, yellow, red, blue, blue, blue, white, blue, yellow, white};
        QStringList actual;
        for (const QString id : {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "12"})
            actual << backgrounds(QStringLiteral("S") + id).value(0);
        QCOMPARE(actual, expected);
    }

    void thresholdTwoZero()
    {
        tallyra::settings().Threshold2 = 0;
        QVERIFY(open(QStringLiteral("/fixtures/bands-frameset.html")));
        QVERIFY(GradePage::markColor(m_browser.get()));
        QCOMPARE(backgrounds(QStringLiteral("S05")).value(0), QStringLiteral("rgb(255, 128, 128)")); // empty
        QCOMPARE(backgrounds(QStringLiteral("S07")).value(0), QStringLiteral("rgb(255, 128, 128)")); // letters
        QCOMPARE(backgrounds(QStringLiteral("S06")).value(0), QStringLiteral("rgb(128, 128, 255)")); // -5
    }

    void rerunFollowsValuesAndSettings()
    {
        QVERIFY(open(QStringLiteral("/fixtures/bands-frameset.html")));
        QVERIFY(GradePage::markColor(m_browser.get()));
        QCOMPARE(backgrounds(QStringLiteral("S04")).value(0), QStringLiteral("rgb(255, 128, 128)"));

        runInPage(m_browser.get(), frameExpression(QStringLiteral("f.S05.value = '75'")));
        tallyra::settings().MarkColor2 = 0x00FF00; // green, 0x00BBGGRR
        QVERIFY(GradePage::markColor(m_browser.get()));
        QCOMPARE(backgrounds(QStringLiteral("S05")).value(0), QStringLiteral("rgb(255, 255, 255)"));
        QCOMPARE(backgrounds(QStringLiteral("S04")).value(0), QStringLiteral("rgb(0, 255, 0)"));
    }

    void sharedNameLayouts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("styles");
        QTest::newRow("shared-name page")
            << "/fixtures/shared-frameset.html"
            << QStringList{"", "rgb(255, 255, 255)", "", "rgb(255, 255, 128)", "", "rgb(255, 128, 128)", "",
                           "rgb(128, 128, 255)", ""};
        QTest::newRow("no student IDs: nothing coloured") << "/fixtures/shared-no-ids-frameset.html"
                                                           << QStringList{"", "", ""};
        QTest::newRow("both layouts: only STD") << "/fixtures/both-layouts-frameset.html"
                                                << QStringList{"", "", "", "rgb(128, 128, 255)", ""};
        QTest::newRow("names match exactly")
            << "/fixtures/name-case-frameset.html"
            << QStringList{"", "", "", "", "rgb(128, 128, 255)", "", "", "", ""};
    }

    void sharedNameLayouts()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, styles);
        QVERIFY(open(path));
        QVERIFY(GradePage::markColor(m_browser.get()));
        QCOMPARE(written(), styles);
    }

    void bigPages()
    {
        QVERIFY(open(QStringLiteral("/fixtures/big254-frameset.html")));
        QVERIFY(GradePage::markColor(m_browser.get()));
        const QStringList all254 = written();
        QCOMPARE(all254.size(), 508);
        QCOMPARE(all254.count(QString()), 254); // every score field coloured, no ID field

        QVERIFY(open(QStringLiteral("/fixtures/big255-frameset.html")));
        QVERIFY(!GradePage::markColor(m_browser.get()));
        QCOMPARE(written().count(QString()), 510);
    }

    void mainWindowRefusesOtherPages_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("更新醒目標示") << "Command2";
        QTest::newRow("匯入成績") << "Command1";
    }

    void mainWindowRefusesOtherPages()
    {
        QFETCH(QString, button);
        TestEnvironment t(m_site.server());
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/qv/index.php?ver=171")))));
        QTest::mouseClick(w.findChild<QPushButton *>(button), Qt::LeftButton);
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown()[0].text, QStringLiteral("無法找到相關欄位，請檢查是否在正確的成績輸入視窗!"));
        QCOMPARE(boxes.shown()[0].title, QStringLiteral("操作錯誤"));
        QCOMPARE(boxes.shown()[0].buttons, QMessageBox::Ok);
        QCOMPARE(boxes.shown()[0].icon, QMessageBox::Critical);
        QVERIFY(w.findChild<QPushButton *>(button)->isEnabled());
    }

    void mainWindowHighlights()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/qv/index.php?ver=171")))));
        QVERIFY(navigateAndWait(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/fixtures/bands-frameset.html")))));

        // Watch the button while the run waits for the page.
        auto *button = w.findChild<QPushButton *>(QStringLiteral("Command2"));
        bool seenDisabled = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] { seenDisabled |= !button->isEnabled(); });
        watch.start(0);
        QTest::mouseClick(button, Qt::LeftButton);
        watch.stop();
        QVERIFY(seenDisabled);
        QVERIFY(button->isEnabled());
        QVERIFY(boxes.shown().isEmpty());
        const QString colour = runInPage(w.WebBrowser1(), frameExpression(QStringLiteral("f.S02.style.backgroundColor"))).toString();
        QCOMPARE(colour, QStringLiteral("rgb(255, 255, 128)"));
    }

    void mainWindowReportsAFailedRun()
    {
        TestEnvironment t(m_site.server());
        t.apply();
        MessageBoxScript boxes;
        MainWindow w;
        w.show();
        QVERIFY(waitForUrl(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/qv/index.php?ver=171")))));
        QVERIFY(navigateAndWait(w.WebBrowser1(), QUrl(m_site.url(QStringLiteral("/fixtures/big255-frameset.html")))));
        auto *button = w.findChild<QPushButton *>(QStringLiteral("Command2"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown()[0].title, QStringLiteral("操作錯誤"));
        QCOMPARE(boxes.shown()[0].icon, QMessageBox::Critical);
        QVERIFY(boxes.shown()[0].text.startsWith(QStringLiteral("無法更新醒目標示")));
        QVERIFY(button->isEnabled());
    }
};

TALLYRA_WEB_TEST_MAIN(TestGradePage)
#include "tst_gradepage.moc"
