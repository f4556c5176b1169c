#include "core/Settings.h"
#include "import/GradeTransfer.h"
#include "import/TransferCheck.h"
#include "import/TransferPreview.h"
#include "import/TransferUndo.h"

#include <QtTest>

using namespace tallyra;

using Rows = QList<QPair<QString, CellValue>>;
Q_DECLARE_METATYPE(Rows)
using Cells = QVector<CellValue>;
Q_DECLARE_METATYPE(Cells)

namespace {

FormSnapshot page(const QList<QPair<QString, QString>> &namesAndValues, const QString &formId = QStringLiteral("f1"))
{
    FormSnapshot s;
    s.status = FormSnapshot::Status::Ok;
    s.token = QStringLiteral("t");
    s.formId = formId;
    for (int i = 0; i < namesAndValues.size(); ++i)
        s.elements.push_back({i, namesAndValues[i].first, namesAndValues[i].second, QString(), true});
    return s;
}

// ID column then score column, row 1 first.
GradebookColumns book(const Rows &rows)
{
    QVector<CellValue> ids, scores;
    for (const auto &row : rows) {
        ids << CellValue::ofText(row.first);
        scores << row.second;
    }
    return GradebookColumns(ids, scores);
}

TransferPlan plan(const FormSnapshot &snapshot, const GradebookColumns &gradebook)
{
    return std::get<TransferPlan>(GradeTransfer::plan(snapshot, gradebook, Settings::defaults()));
}

const FormSnapshot kPage = page({{"mStd_id", "01"}, {"S01", "70"}, {"mStd_id", "02"}, {"S02", "65"},
                                 {"mStd_id", "03"}, {"S03", ""}, {"mStd_id", "04"}, {"S04", "88"}});

} // namespace

class TestTransferPreview : public QObject {
    Q_OBJECT
private slots:
    void columnCheck_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("question");
        const auto n = [](double v) { return CellValue::ofNumber(v); };
        QTest::newRow("all found") << Rows{{"01", n(1)}, {"02", n(2)}, {"03", n(3)}, {"04", n(4)}} << QString();
        QTest::newRow("half found is enough") << Rows{{"01", n(1)}, {"02", n(2)}} << QString();
        QTest::newRow("one of four found")
            << Rows{{"01", n(1)}} << QStringLiteral("學號欄位 B 只找到 1 / 4 位學生，可能選錯了工作表或欄位。仍要輸入嗎?");
        QTest::newRow("out-of-range numbers are numbers") << Rows{{"01", n(-5)}, {"02", n(105)}, {"03", n(3)}} << QString();
        QTest::newRow("texts in the score column")
            << Rows{{"01", CellValue::ofText("王小明")}, {"02", CellValue::ofText("李")}, {"03", n(3)}, {"04", CellValue()}}
            << QStringLiteral("成績欄位 E 只有 1 / 4 位學生有分數，其餘 3 位的成績欄會被清空。仍要輸入嗎?");
        // Found, but each in several rows: the ID column's doing, not the score column's.
        QTest::newRow("IDs in several rows")
            << Rows{{"01", n(1)}, {"01", n(2)}, {"02", n(3)}, {"02", n(4)}, {"03", n(5)}, {"03", n(6)}, {"04", n(7)}}
            << QStringLiteral("學號欄位 B 中有 3 位學生出現在多個列，這些學生的成績欄會被清空。仍要輸入嗎?");
        QTest::newRow("dates and percentages are no scores")
            << Rows{{"01", CellValue::ofNumber(0.85, NumberClass::Percent)}, {"02", CellValue::ofNumber(46203, NumberClass::Date)},
                    {"03", CellValue::ofNumber(0.5, NumberClass::Time)}, {"04", n(70)}}
            << QStringLiteral("成績欄位 E 只有 1 / 4 位學生有分數，其餘 3 位的成績欄會被清空。仍要輸入嗎?");
    }

    void columnCheck()
    {
        QFETCH(Rows, rows);
        QFETCH(QString, question);
        const TransferPlan p = plan(kPage, book(rows));
        QCOMPARE(TransferCheck::question(TransferCheck::count(p), QStringLiteral("B"), QStringLiteral("E")), question);
    }

    void hints_data()
    {
        QTest::addColumn<QStringList>("pageIds");
        QTest::addColumn<Cells>("column");
        QTest::addColumn<QString>("hint");
        const auto n = [](double v) { return CellValue::ofNumber(v); };
        const auto shown = [](double v, const char *text) { return CellValue::ofNumber(v, NumberClass::Plain, text); };
        // A blank page ID never counts, even against a blank cell.
        QTest::newRow("texts") << QStringList{"01", "02", "03", " "}
                               << Cells{CellValue::ofText("學號"), CellValue::ofText("01"), CellValue::ofText("02 "),
                                        CellValue::ofText(" ")}
                               << QStringLiteral("A 欄：4 位學生中找到 2 位");
        QTest::newRow("scores") << QStringList{"01", "02"} << Cells{n(70), n(65)}
                                << QStringLiteral("A 欄：沒有本頁學生的學號");
        QTest::newRow("shown with leading zeros") << QStringList{"091001", "091002"}
                                                  << Cells{shown(91001, "091001"), shown(91002, "091002")}
                                                  << QStringLiteral("A 欄：2 位學生中找到 2 位");
        QTest::newRow("stored as numbers") << QStringList{"091001", "091002", "091003"} << Cells{n(91001), n(91002)}
                                           << QStringLiteral("A 欄：3 位學生中找到 2 位（學號以數字儲存）");
        // 91001 is found by its text; 091001 stands for the same number and
        // is found by neither; 091002 is found as a number.
        QTest::newRow("two page IDs share a number") << QStringList{"091001", "91001", "091002"} << Cells{n(91001), n(91002)}
                                                     << QStringLiteral("A 欄：3 位學生中找到 2 位");
        QTest::newRow("typed full-width, no-break space")
            << QStringList{"620010", "620011", "A1"}
            << Cells{CellValue::ofText("６２００１０"), CellValue::ofText("620011\u00a0"), CellValue::ofText("\u3000ａ１")}
            << QStringLiteral("A 欄：3 位學生中找到 3 位");
        QTest::newRow("a percentage is no stored ID") << QStringList{"1"}
                                                      << Cells{CellValue::ofNumber(0.01, NumberClass::Percent, "1%")}
                                                      << QStringLiteral("A 欄：沒有本頁學生的學號");
    }

    void hints()
    {
        QFETCH(QStringList, pageIds);
        QFETCH(Cells, column);
        QFETCH(QString, hint);
        const auto counts = TransferCheck::studentsPerColumn(pageIds, {column, {}});
        QCOMPARE(counts.size(), 2);
        QCOMPARE(counts[1].found, 0);
        QCOMPARE(TransferCheck::hint("A", counts[0], static_cast<int>(pageIds.size())), hint);
    }

    void previewRows()
    {
        const TransferPlan p = plan(kPage, book({{"01", CellValue::ofNumber(70)}, {"02", CellValue::ofNumber(58.5)},
                                                 {"03", CellValue::ofText("缺考")}}));
        const TransferPreview preview = TransferPreview::build(p, kPage);
        QCOMPARE(preview.rows.size(), 4);
        QStringList described;
        for (const auto &row : preview.rows)
            described << QStringLiteral("%1|%2|%3|%4|%5|%6").arg(row.id, row.gradebook, row.written, row.current)
                             .arg(row.changes).arg(row.anomaly);
        QCOMPARE(described, (QStringList{"01|70|70|70|0|0", "02|58.5|59|65|1|0", "03|缺考|||0|1", "04|||88|1|1"}));
        QCOMPARE(preview.rows[1].outcome, QStringLiteral("請注意! 學號 02 的成績剛好在及格邊緣! (59分)"));
        QCOMPARE(preview.rows[2].outcome, QStringLiteral("請注意！成績冊中學號 03 的分數欄內不是數值資料!"));
        QCOMPARE(preview.rows[3].outcome, QStringLiteral("請注意！Quillo在成績冊中找不到學號 04 !"));
        QCOMPARE(std::tuple(preview.filled, preview.emptied, preview.unchanged), std::tuple(1, 1, 2));
        QCOMPARE(preview.summary(), QStringLiteral("共 4 位學生：填入 1 位，清空 1 位，不變 2 位"));
    }

    void undo()
    {
        FormSnapshot before = kPage;
        before.elements[1].background = QStringLiteral("rgb(1, 2, 3)");
        const TransferPlan p = plan(before, book({{"01", CellValue::ofNumber(90)}, {"02", CellValue::ofNumber(91)},
                                                  {"03", CellValue::ofNumber(92)}, {"04", CellValue::ofNumber(93)}}));
        const TransferUndo undo(p, before);
        QCOMPARE(undo.fields().size(), 4);

        // The page after the transfer, with 02 typed over by hand and new colours.
        FormSnapshot after = page({{"mStd_id", "01"}, {"S01", "90"}, {"mStd_id", "02"}, {"S02", "80"},
                                   {"mStd_id", "03"}, {"S03", "92"}, {"mStd_id", "04"}, {"S04", "93"}});
        const auto restore = undo.restore(after);
        QVERIFY(restore);
        QCOMPARE(restore->changedByHand, QStringList{"02"});
        QStringList writes;
        for (const FieldWrite &w : restore->writes)
            writes << QStringLiteral("%1:%2=%3").arg(w.name).arg(int(w.target)).arg(w.text);
        QCOMPARE(writes, (QStringList{"S01:0=70", "S01:1=rgb(1, 2, 3)", "S03:0=", "S03:1=", "S04:0=88", "S04:1="}));

        QVERIFY(!undo.restore(page({{"mStd_id", "01"}, {"S01", "90"}}, QStringLiteral("f2")))); // another form
        after.elements[3].name = QStringLiteral("Sxx");
        QVERIFY(!undo.restore(after)); // same form object, fields no longer where they were
    }
};

QTEST_APPLESS_MAIN(TestTransferPreview)
#include "tst_transferpreview.moc"
