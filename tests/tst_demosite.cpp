#include "support/TestSupport.h"

#include <httplib.h>

#include <QRegularExpression>
#include <QtTest>

using tallyra::test::DemoSiteProcess;

namespace {

QString text(const httplib::Result &result) { return result ? QString::fromStdString(result->body) : QString(); }

int count(const QString &haystack, const QString &pattern)
{
    return static_cast<int>(haystack.count(QRegularExpression(pattern)));
}

} // namespace

class TestDemoSite : public QObject {
    Q_OBJECT

    DemoSiteProcess m_site;
    QTemporaryDir m_fixtures;
    std::unique_ptr<httplib::Client> m_client;
    std::string m_cookie;

    httplib::Headers session() const { return {{"Cookie", m_cookie}}; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start(tallyra::test::copyFixtures(m_fixtures)));
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_site.port());
    }

    void portalTellsWhetherTheVersionIsCurrent_data()
    {
        QTest::addColumn<QString>("ver");
        QTest::addColumn<bool>("current");
        QTest::newRow("current") << "171" << true;
        QTest::newRow("older") << "170" << false;
        QTest::newRow("missing") << "" << false;
    }

    void portalTellsWhetherTheVersionIsCurrent()
    {
        QFETCH(QString, ver);
        QFETCH(bool, current);
        const QString body = text(m_client->Get("/qv/index.php?ver=" + ver.toStdString()));
        QVERIFY(body.contains(QStringLiteral("/teacher/signform.asp")));
        QCOMPARE(body.contains(QStringLiteral("是最新版本（171）")), current);
        QCOMPARE(body.contains(QStringLiteral("不是最新版本")), !current);
    }

    void gradePagesNeedSignIn()
    {
        const auto result = m_client->Get("/teacher/grade.asp?class=301");
        QVERIFY(result);
        QCOMPARE(result->status, 302);
        QCOMPARE(QString::fromStdString(result->get_header_value("Location")), QStringLiteral("/teacher/signform.asp"));
    }

    void signInNeedsAccountAndPassword()
    {
        const auto refused = m_client->Post("/teacher/signform.asp", "account=wang&password=", "application/x-www-form-urlencoded");
        QVERIFY(refused);
        QCOMPARE(refused->status, 200);
        QVERIFY(refused->get_header_value("Set-Cookie").empty());

        const auto accepted = m_client->Post("/teacher/signform.asp", "account=wang&password=secret", "application/x-www-form-urlencoded");
        QVERIFY(accepted);
        QCOMPARE(accepted->status, 303);
        m_cookie = accepted->get_header_value("Set-Cookie");
        m_cookie = m_cookie.substr(0, m_cookie.find(';'));
        QVERIFY(!m_cookie.empty());

        const QString frameset = text(m_client->Get("/teacher/main.asp", session()));
        QVERIFY(frameset.contains(QStringLiteral("<frame name=\"FCONTENT\"")));
        const QString menu = text(m_client->Get("/teacher/menu.asp", session()));
        QCOMPARE(count(menu, QStringLiteral("target=\"FCONTENT\"")), 5);
    }

    void gradePageLayouts_data()
    {
        QTest::addColumn<QString>("classCode");
        QTest::addColumn<bool>("shared");
        QTest::addColumn<QString>("button");
        QTest::newRow("per-student") << "301" << false << "暫時儲存成績";
        QTest::newRow("shared-name") << "302" << true << "送出期中評量";
        QTest::newRow("per-student, larger") << "205" << false << "暫時儲存成績";
        QTest::newRow("saves changed rows only") << "306" << false << "暫時儲存成績";
    }

    void gradePageLayouts()
    {
        QFETCH(QString, classCode);
        QFETCH(bool, shared);
        QFETCH(QString, button);
        const QString body = text(m_client->Get("/teacher/grade.asp?class=" + classCode.toStdString(), session()));
        QVERIFY(body.contains(QStringLiteral("<form name=\"wlist\"")));
        const int students = count(body, QStringLiteral("name=\"mStd_id\""));
        QVERIFY2(students >= 30 && students <= 45, qPrintable(QString::number(students)));
        QCOMPARE(count(body, QStringLiteral("name=\"STD\"")), shared ? students : 0);
        QCOMPARE(count(body, QStringLiteral("name=\"S\\d+\"")), shared ? 0 : students);
        QVERIFY(body.contains(QStringLiteral("value=\"") + button + QLatin1Char('"')));
        QVERIFY(count(body, QStringLiteral("name=\"mStd_id\" value=\"0\\d+\"")) > 0);
    }

    void postedScoresAreStoredAndShown()
    {
        const auto posted = m_client->Post("/teacher/grade.asp?class=301", session(),
                                           "mClass=301&mStd_id=091001&S091001=88&mStd_id=091002&S091002=&mStd_id=091003&S091003=59",
                                           "application/x-www-form-urlencoded");
        QVERIFY(posted);
        QCOMPARE(posted->status, 303);
        const QString page = text(m_client->Get(posted->get_header_value("Location").c_str(), session()));
        QVERIFY(page.contains(QStringLiteral("已儲存")));
        QVERIFY(page.contains(QStringLiteral("name=\"S091001\" size=\"5\" maxlength=\"5\" value=\"88\"")));
        QVERIFY(page.contains(QStringLiteral("name=\"S091003\" size=\"5\" maxlength=\"5\" value=\"59\"")));
        QVERIFY(page.contains(QStringLiteral("name=\"S091002\" size=\"5\" maxlength=\"5\" value=\"\"")));

        const auto shared = m_client->Post("/teacher/grade.asp?class=302", session(),
                                           "mStd_id=102101&STD=70&mStd_id=102102&STD=45",
                                           "application/x-www-form-urlencoded");
        QVERIFY(shared);
        const QString sharedPage = text(m_client->Get("/teacher/grade.asp?class=302", session()));
        QVERIFY(!sharedPage.contains(QStringLiteral("已儲存")));
        const QStringList values = [&] {
            QStringList v;
            auto it = QRegularExpression(QStringLiteral("name=\"STD\"[^>]*value=\"([^\"]*)\"")).globalMatch(sharedPage);
            while (it.hasNext())
                v << it.next().captured(1);
            return v;
        }();
        QCOMPARE(values.mid(0, 3), (QStringList{QStringLiteral("70"), QStringLiteral("45"), QString()}));
    }

    // Rows whose flag the page's script did not raise keep what was stored.
    void changedRowsOnlyAreSaved()
    {
        const auto first = m_client->Post("/teacher/grade.asp?class=306", session(),
                                          "mStd_id=091001&C091001=1&S091001=70&mStd_id=091002&C091002=1&S091002=71",
                                          "application/x-www-form-urlencoded");
        QVERIFY(first);
        const auto second = m_client->Post("/teacher/grade.asp?class=306", session(),
                                           "mStd_id=091001&C091001=0&S091001=10&mStd_id=091002&C091002=1&S091002=72",
                                           "application/x-www-form-urlencoded");
        QVERIFY(second);
        const QString page = text(m_client->Get("/teacher/grade.asp?class=306", session()));
        QVERIFY(page.contains(QStringLiteral("name=\"S091001\" size=\"5\" maxlength=\"5\" value=\"70\"")));
        QVERIFY(page.contains(QStringLiteral("name=\"S091002\" size=\"5\" maxlength=\"5\" value=\"72\"")));
        QVERIFY(page.contains(QStringLiteral("name=\"C091001\" value=\"0\"")));
    }

    void helpAndStaffPages()
    {
        QVERIFY(text(m_client->Get("/html/document.html")).contains(QStringLiteral("匯入成績")));
        QVERIFY(text(m_client->Get("/employee.htm")).contains(QStringLiteral("通訊錄")));
    }

    void fixturesAreServedWithThePort()
    {
        const QString body = text(m_client->Get("/fixtures/cross-origin-frameset.html"));
        QVERIFY(body.contains(QStringLiteral("http://localhost:%1/fixtures/grade-basic.html").arg(m_site.port())));
        const auto escape = m_client->Get("/fixtures/../CMakeLists.txt");
        QVERIFY(escape);
        QCOMPARE(escape->status, 404);
        QCOMPARE(m_client->Get("/fixtures/no-such-page.html")->status, 404);
    }
};

QTEST_GUILESS_MAIN(TestDemoSite)
#include "tst_demosite.moc"
