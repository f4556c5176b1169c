#include "page/GradeForm.h"
#include "page/Highlighting.h"

#include <QtTest>

using tallyra::FieldWrite;
using tallyra::FormElement;
using tallyra::FormSnapshot;
using tallyra::GradeForm;
using tallyra::Settings;
namespace Highlighting = tallyra::Highlighting;

Q_DECLARE_METATYPE(GradeForm::Layout)

namespace {

QVector<FormElement> elements(const QList<QPair<QString, QString>> &namesAndValues)
{
    QVector<FormElement> list;
    for (int i = 0; i < namesAndValues.size(); ++i)
        list.push_back({i, namesAndValues[i].first, namesAndValues[i].second, {}});
    return list;
}

FormSnapshot snapshotOf(const QList<QPair<QString, QString>> &namesAndValues)
{
    FormSnapshot s;
    s.status = FormSnapshot::Status::Ok;
    s.token = QStringLiteral("t");
    s.elements = elements(namesAndValues);
    return s;
}

QVector<FormElement> students(int count)
{
    QVector<FormElement> list;
    for (int i = 0; i < count; ++i) {
        list.push_back({2 * i, QStringLiteral("mStd_id"), QString::number(i), {}});
        list.push_back({2 * i + 1, QStringLiteral("S") + QString::number(i), QStringLiteral("70"), {}});
    }
    return list;
}

QStringList describe(const QVector<FieldWrite> &writes)
{
    QStringList out;
    for (const FieldWrite &w : writes)
        out << QStringLiteral("%1:%2=%3").arg(w.index).arg(w.name, w.text);
    return out;
}

} // namespace

class TestHighlighting : public QObject {
    Q_OBJECT

private slots:
    void ColorToHtml_data()
    {
        QTest::addColumn<qint32>("colour");
        QTest::addColumn<QString>("html");
        QTest::newRow("light yellow") << 0x80FFFF << "#FFFF80";
        QTest::newRow("light red") << 0x8080FF << "#FF8080";
        QTest::newRow("light blue") << 0xFF8080 << "#8080FF";
        QTest::newRow("red") << 255 << "#FF0000";
        QTest::newRow("black") << 0 << "#000000";
        QTest::newRow("white") << 16777215 << "#FFFFFF";
        QTest::newRow("zero padded") << 0x000A0B << "#0B0A00";
        QTest::newRow("seven digits") << 0x1000000 << "#000010";
        QTest::newRow("negative, two's complement") << -1 << "#FFFFFF";
        QTest::newRow("negative, eight digits") << qint32(0x80123456) << "#561280";
    }

    void ColorToHtml()
    {
        QFETCH(qint32, colour);
        QFETCH(QString, html);
        QCOMPARE(Highlighting::ColorToHtml(colour), html);
    }

    void bandColour_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("threshold2");
        QTest::addColumn<int>("band"); // 0 white, 1..3 the mark colours
        QTest::newRow("60 is white") << 60.0 << 50 << 0;
        QTest::newRow("100") << 100.0 << 50 << 0;
        QTest::newRow("59.99") << 59.99 << 50 << 1;
        QTest::newRow("equal to Threshold1") << 55.0 << 50 << 1;
        QTest::newRow("just under Threshold1") << 54.99 << 50 << 2;
        QTest::newRow("equal to Threshold2") << 50.0 << 50 << 2;
        QTest::newRow("under Threshold2") << 49.5 << 50 << 3;
        QTest::newRow("zero") << 0.0 << 50 << 3;
        QTest::newRow("negative") << -5.0 << 50 << 3;
        QTest::newRow("zero with Threshold2 0") << 0.0 << 0 << 2;
        QTest::newRow("negative with Threshold2 0") << -5.0 << 0 << 3;
    }

    void bandColour()
    {
        QFETCH(double, value);
        QFETCH(int, threshold2);
        QFETCH(int, band);
        Settings s = Settings::defaults();
        s.Threshold2 = quint8(threshold2);
        const qint32 expected[] = {Highlighting::kWhite, s.MarkColor1, s.MarkColor2, s.MarkColor3};
        QCOMPARE(Highlighting::bandColour(value, s), expected[band]);
    }

    void bandTwoNeverChosenWhenThresholdsCross()
    {
        Settings s = Settings::defaults();
        s.Threshold1 = 40;
        s.Threshold2 = 50;
        QCOMPARE(Highlighting::bandColour(45, s), s.MarkColor1);
        QCOMPARE(Highlighting::bandColour(39, s), s.MarkColor3);
    }

    void collect_data()
    {
        QTest::addColumn<QVector<FormElement>>("form");
        QTest::addColumn<GradeForm::Layout>("layout");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("per-student")
            << elements({{"mStd_id", "0123"}, {"S0123", "1"}, {"mStd_id", "0456"}, {"S0456", ""}, {"btn", "儲存"}})
            << GradeForm::Layout::PerStudent << QStringList{"0123", "0456"};
        QTest::newRow("shared-name") << elements({{"mStd_id", "1"}, {"STD", ""}, {"mStd_id", "2"}, {"STD", ""}})
                                     << GradeForm::Layout::SharedName << QStringList{"1", "2"};
        QTest::newRow("one STD switches the layout")
            << elements({{"mStd_id", "1"}, {"S1", ""}, {"STD", ""}}) << GradeForm::Layout::SharedName
            << QStringList{"1"};
        QTest::newRow("names match whole and by case")
            << elements({{"mstd_id", "1"}, {"mStd_id ", "2"}, {"MSTD_ID", "3"}, {"std", ""}, {"STD ", ""}, {"mStd_id", "4"}})
            << GradeForm::Layout::PerStudent << QStringList{"4"};
        QTest::newRow("ID text kept as read") << elements({{"mStd_id", " 007 "}}) << GradeForm::Layout::PerStudent
                                              << QStringList{" 007 "};
        QTest::newRow("empty form") << QVector<FormElement>{} << GradeForm::Layout::PerStudent << QStringList{};
        QTest::newRow("254 students") << students(254) << GradeForm::Layout::PerStudent << [] {
            QStringList ids;
            for (int i = 0; i < 254; ++i)
                ids << QString::number(i);
            return ids;
        }();
    }

    void collect()
    {
        QFETCH(QVector<FormElement>, form);
        QFETCH(GradeForm::Layout, layout);
        QFETCH(QStringList, ids);
        const auto collected = GradeForm::collect(form);
        QVERIFY(collected);
        QCOMPARE(collected->layout(), layout);
        QCOMPARE(collected->studentIds(), ids);
    }

    void collectOverflowsAt255()
    {
        QVERIFY(!GradeForm::collect(students(255)));
        QVERIFY(!GradeForm::collect(students(300)));
    }

    void scoreFieldName()
    {
        const auto perStudent = GradeForm::collect(elements({{"mStd_id", "0123"}}));
        QCOMPARE(perStudent->scoreFieldName(1), QStringLiteral("S0123"));
        const auto shared = GradeForm::collect(elements({{"mStd_id", "0123"}, {"STD", ""}}));
        QCOMPARE(shared->scoreFieldName(1), QStringLiteral("STD"));
    }

    void plan_data()
    {
        QTest::addColumn<QList<QPair<QString, QString>>>("form");
        QTest::addColumn<QStringList>("writes");
        using Form = QList<QPair<QString, QString>>;
        QTest::newRow("per-student bands")
            << Form{{"mStd_id", "1"}, {"S1", "60"}, {"mStd_id", "2"}, {"S2", "57"}, {"mStd_id", "3"}, {"S3", "52"},
                    {"mStd_id", "4"}, {"S4", ""}}
            << QStringList{"1:S1=#FFFFFF", "3:S2=#FFFF80", "5:S3=#FF8080", "7:S4=#8080FF"};
        QTest::newRow("score fields before their IDs, found by name")
            << Form{{"S2", "80"}, {"S1", "10"}, {"mStd_id", "1"}, {"mStd_id", "2"}}
            << QStringList{"1:S1=#8080FF", "0:S2=#FFFFFF"};
        QTest::newRow("missing score field passed over")
            << Form{{"mStd_id", "1"}, {"mStd_id", "2"}, {"S2", "59"}} << QStringList{"2:S2=#FFFF80"};
        QTest::newRow("first field of a name only")
            << Form{{"mStd_id", "1"}, {"S1", "10"}, {"S1", "90"}} << QStringList{"1:S1=#8080FF"};
        QTest::newRow("ID twice, one field: coloured once")
            << Form{{"mStd_id", "1"}, {"mStd_id", "1"}, {"S1", "10"}} << QStringList{"2:S1=#8080FF"};
        QTest::newRow("ID twice, two fields: each by its own value")
            << Form{{"mStd_id", "1"}, {"S1", "10"}, {"mStd_id", "1"}, {"S1", "90"}} << QStringList{"1:S1=#8080FF", "3:S1=#FFFFFF"};
        QTest::newRow("shared-name colours every STD once")
            << Form{{"mStd_id", "1"}, {"STD", "70"}, {"mStd_id", "2"}, {"STD", "51"}, {"STD", "abc"}}
            << QStringList{"1:STD=#FFFFFF", "3:STD=#FF8080", "4:STD=#8080FF"};
        QTest::newRow("both layouts: only STD")
            << Form{{"mStd_id", "1"}, {"S1", "10"}, {"mStd_id", "2"}, {"STD", "20"}} << QStringList{"3:STD=#8080FF"};
        QTest::newRow("shared-name without IDs colours nothing") << Form{{"STD", "10"}, {"STD", "70"}} << QStringList{};
        QTest::newRow("leading-number value") << Form{{"mStd_id", "1"}, {"S1", "55分"}} << QStringList{"1:S1=#FFFF80"};
    }

    void plan()
    {
        using Form = QList<QPair<QString, QString>>;
        QFETCH(Form, form);
        QFETCH(QStringList, writes);
        const auto planned = Highlighting::plan(snapshotOf(form), Settings::defaults());
        QVERIFY(planned);
        QCOMPARE(describe(*planned), writes);
        for (const FieldWrite &w : *planned)
            QCOMPARE(w.target, FieldWrite::Target::BackgroundColor);
    }

    void planRefusesAnOverflowingPage()
    {
        FormSnapshot s;
        s.status = FormSnapshot::Status::Ok;
        s.elements = students(255);
        QVERIFY(!Highlighting::plan(s, Settings::defaults()));
    }
};

QTEST_APPLESS_MAIN(TestHighlighting)
#include "tst_highlighting.moc"
