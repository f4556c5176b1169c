#include "support/TestSupport.h"

#include "platform/Browser.h"

#include <QtTest>

using tallyra::Browser;
using tallyra::FieldWrite;
using tallyra::FormSnapshot;
using namespace tallyra::test;

Q_DECLARE_METATYPE(tallyra::FormSnapshot::Status)

namespace {
const QString kFrame = QStringLiteral("FCONTENT");
const QString kForm = QStringLiteral("wlist");

QString frameScript(const QString &expression)
{
    return QStringLiteral("(function () { const d = window.frames['FCONTENT'].document; return %1; })()").arg(expression);
}
} // namespace

class TestBrowser : public QObject {
    Q_OBJECT

    DemoSiteProcess m_site;
    QTemporaryDir m_fixtures;
    std::unique_ptr<Browser> m_browser;

    bool open(const QString &path)
    {
        // The top document's load ends only after its frames have loaded.
        return navigateAndWait(m_browser.get(), QUrl(m_site.url(path)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start(copyFixtures(m_fixtures)));
        m_browser = std::make_unique<Browser>(false);
        m_browser->resize(800, 600);
        m_browser->show();
    }

    void snapshotReportsTheFailedLink_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<FormSnapshot::Status>("status");
        QTest::newRow("portal: no frame") << "/qv/index.php?ver=171" << FormSnapshot::Status::NoFrame;
        QTest::newRow("frame of another origin") << "/fixtures/cross-origin-frameset.html" << FormSnapshot::Status::FrameInaccessible;
        QTest::newRow("no wlist in the frame") << "/fixtures/no-wlist-frameset.html" << FormSnapshot::Status::NoForm;
        QTest::newRow("wlist names no form") << "/fixtures/wlist-not-form-frameset.html" << FormSnapshot::Status::NoForm;
        QTest::newRow("empty wlist") << "/fixtures/empty-wlist-frameset.html" << FormSnapshot::Status::Ok;
        QTest::newRow("grade page") << "/fixtures/grade-frameset.html" << FormSnapshot::Status::Ok;
    }

    void snapshotReportsTheFailedLink()
    {
        QFETCH(QString, path);
        QFETCH(FormSnapshot::Status, status);
        QVERIFY(open(path));
        const FormSnapshot snapshot = m_browser->snapshotForm(kFrame, kForm);
        QCOMPARE(snapshot.status, status);
        QCOMPARE(snapshot.token.isEmpty(), status != FormSnapshot::Status::Ok);
    }

    void snapshotListsElementsInDocumentOrder()
    {
        QVERIFY(open(QStringLiteral("/fixtures/grade-frameset.html")));
        const FormSnapshot snapshot = m_browser->snapshotForm(kFrame, kForm);
        QVERIFY(snapshot.ok());
        QStringList names, values;
        for (int i = 0; i < snapshot.elements.size(); ++i) {
            QCOMPARE(snapshot.elements[i].index, i);
            names << snapshot.elements[i].name;
            values << snapshot.elements[i].value;
        }
        QCOMPARE(names, (QStringList{"mClass", "mStd_id", "S0123", "mStd_id", "S0456", "mStd_id", "S1789", "btnSave"}));
        QCOMPARE(values, (QStringList{"T01", "0123", "77", "0456", "", "1789", "59.5", "暫時儲存成績"}));
    }

    void writeSetsValuesAndColoursVerbatim()
    {
        QVERIFY(open(QStringLiteral("/fixtures/grade-frameset.html")));
        const FormSnapshot snapshot = m_browser->snapshotForm(kFrame, kForm);
        QVERIFY(snapshot.ok());
        const QString tricky = QStringLiteral("a\"b'c\\d</script>${x}");
        const auto report = m_browser->writeForm(kFrame, kForm, snapshot,
            {{2, "S0123", FieldWrite::Target::Value, "91"},
             {4, "S0456", FieldWrite::Target::Value, tricky},
             {6, "S1789", FieldWrite::Target::BackgroundColor, "#FFFF80"}});
        QVERIFY(report.ok());
        QCOMPARE(runInPage(m_browser.get(), frameScript("d.forms.wlist.elements[2].value")).toString(), QStringLiteral("91"));
        QCOMPARE(runInPage(m_browser.get(), frameScript("d.forms.wlist.elements[4].value")).toString(), tricky);
        QCOMPARE(runInPage(m_browser.get(), frameScript("d.forms.wlist.elements[6].style.backgroundColor")).toString(),
                 QStringLiteral("rgb(255, 255, 128)"));
    }

    void writeRefusesAReloadedForm()
    {
        QVERIFY(open(QStringLiteral("/fixtures/grade-frameset.html")));
        const FormSnapshot snapshot = m_browser->snapshotForm(kFrame, kForm);
        QVERIFY(snapshot.ok());
        runInPage(m_browser.get(), QStringLiteral("window.frames['FCONTENT'].location.reload()"));
        QTRY_COMPARE_WITH_TIMEOUT(runInPage(m_browser.get(), frameScript("d.readyState + (d.forms.wlist ? '' : '-')")).toString(),
                                  QStringLiteral("complete"), 30000);
        const auto report = m_browser->writeForm(kFrame, kForm, snapshot, {{2, "S0123", FieldWrite::Target::Value, "12"}});
        QVERIFY(report.pageChanged);
        QVERIFY(!report.ok());
        QCOMPARE(runInPage(m_browser.get(), frameScript("d.forms.wlist.elements[2].value")).toString(), QStringLiteral("77"));
    }

    void writeIsWholeOrNothing_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("written");
        QTest::newRow("unchanged") << QString() << true;
        QTest::newRow("a later field renamed") << "f.elements[6].name = 'S9999'" << false;
        QTest::newRow("a later field removed") << "f.elements[6].remove()" << false;
        QTest::newRow("a field added") << "f.appendChild(d.createElement('input'))" << false;
        QTest::newRow("rows swapped: IDs no longer where read")
            << "f.elements[1].value = '0456'; f.elements[3].value = '0123'" << false;
        QTest::newRow("a field disabled") << "f.elements[4].disabled = true" << false;
        QTest::newRow("a field made a check box") << "f.elements[4].type = 'checkbox'" << false;
        QTest::newRow("another field's value typed") << "f.elements[6].value = '88'" << true;
    }

    // Checked and written in one task: a page changed since the reading gets
    // nothing at all, not the writes before the change.
    void writeIsWholeOrNothing()
    {
        QFETCH(QString, change);
        QFETCH(bool, written);
        QVERIFY(open(QStringLiteral("/fixtures/grade-frameset.html")));
        const FormSnapshot snapshot = m_browser->snapshotForm(kFrame, kForm);
        QVERIFY(snapshot.ok());
        if (!change.isEmpty())
            runInPage(m_browser.get(), frameScript(QStringLiteral("(function () { const f = d.forms.wlist; %1; return 1; })()").arg(change)));
        const auto report = m_browser->writeForm(kFrame, kForm, snapshot,
                                                 {{2, "S0123", FieldWrite::Target::Value, "60"},
                                                  {4, "S0456", FieldWrite::Target::Value, "61"},
                                                  {6, "S1789", FieldWrite::Target::BackgroundColor, "#FFFF80"}},
                                                 {1, 3, 5});
        QCOMPARE(report.ok(), written);
        QCOMPARE(report.pageChanged, !written);
        QCOMPARE(runInPage(m_browser.get(), frameScript("d.forms.wlist.elements[2].value")).toString(),
                 written ? QStringLiteral("60") : QStringLiteral("77"));
    }

    // As typing would: a page that saves only the rows it saw change sees these.
    void writeFiresInputAndChange()
    {
        QVERIFY(open(QStringLiteral("/fixtures/grade-frameset.html")));
        runInPage(m_browser.get(), frameScript("(function () { d.seen = []; for (const t of ['input', 'change'])"
                                               " d.forms.wlist.addEventListener(t, e => d.seen.push(t + ':' + e.target.name)); return 1; })()"));
        const FormSnapshot snapshot = m_browser->snapshotForm(kFrame, kForm);
        QVERIFY(m_browser->writeForm(kFrame, kForm, snapshot, {{4, "S0456", FieldWrite::Target::Value, "61"}}).ok());
        QCOMPARE(runInPage(m_browser.get(), frameScript("d.seen.join(' ')")).toString(),
                 QStringLiteral("input:S0456 change:S0456"));
        const auto held = m_browser->readBack(kFrame, kForm, snapshot, {{4, "S0456", FieldWrite::Target::Value, "61"}});
        QCOMPARE(held, std::optional(QStringList{"61"}));
    }

    // The page answers its pending calls while it is destroyed; by then the
    // one who asked may be half destroyed (the main window, closing), so a
    // browser that is going delivers no answer.
    void noAnswerFromABrowserBeingDestroyed()
    {
        auto browser = std::make_unique<Browser>(false);
        QVERIFY(navigateAndWait(browser.get(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        bool answered = false;
        browser->formIdLater(kFrame, kForm, [&answered](const QString &) { answered = true; });
        browser.reset();
        QTest::qWait(200);
        QVERIFY(!answered);
        // While the browser lives, the answer comes.
        auto living = std::make_unique<Browser>(false);
        QVERIFY(navigateAndWait(living.get(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        living->formIdLater(kFrame, kForm, [&answered](const QString &) { answered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(answered, 15000);
    }

    void pageScriptsCannotSeeTheIsolatedWorld()
    {
        QVERIFY(open(QStringLiteral("/fixtures/grade-frameset.html")));
        QVERIFY(m_browser->snapshotForm(kFrame, kForm).ok());
        QCOMPARE(runInPage(m_browser.get(), QStringLiteral("typeof window.tallyraForms")).toString(), QStringLiteral("undefined"));
    }

    void pageOfTheDemoSiteAfterSigningIn()
    {
        // The whole road through the demo site, pressing the page's own button at the end.
        QVERIFY(open(QStringLiteral("/teacher/signform.asp")));
        runInPage(m_browser.get(), QStringLiteral(
            "document.forms.signform.account.value = '王老師'; document.forms.signform.password.value = 'pw';"
            "document.forms.signform.submit();"));
        QVERIFY(waitForUrl(m_browser.get(), QUrl(m_site.url(QStringLiteral("/teacher/main.asp")))));
        runInPage(m_browser.get(), QStringLiteral("window.frames['FCONTENT'].location.href = '/teacher/grade.asp?class=301'"));
        QTRY_VERIFY_WITH_TIMEOUT(m_browser->snapshotForm(kFrame, kForm).ok(), 10000);

        const FormSnapshot snapshot = m_browser->snapshotForm(kFrame, kForm);
        const auto ids = std::count_if(snapshot.elements.begin(), snapshot.elements.end(),
                                       [](const auto &e) { return e.name == QStringLiteral("mStd_id"); });
        QCOMPARE(ids, 36);
        QCOMPARE(snapshot.elements[1].value, QStringLiteral("091001"));
        QCOMPARE(snapshot.elements[2].name, QStringLiteral("S091001"));

        QVERIFY(m_browser->writeForm(kFrame, kForm, snapshot, {{2, "S091001", FieldWrite::Target::Value, "73"}}).ok());
        runInPage(m_browser.get(), frameScript("d.forms.wlist.btnSave.click()"));
        QTRY_VERIFY_WITH_TIMEOUT(runInPage(m_browser.get(), frameScript("!!d.getElementById('saved')")).toBool(), 10000);
        const FormSnapshot saved = m_browser->snapshotForm(kFrame, kForm);
        QVERIFY(saved.ok());
        QCOMPARE(saved.elements[2].value, QStringLiteral("73"));
    }
};

TALLYRA_WEB_TEST_MAIN(TestBrowser)
#include "tst_browser.moc"
