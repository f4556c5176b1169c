#include "core/Settings.h"
#include "import/GradeTransfer.h"
#include "import/ScoreRules.h"
#include "import/TransferCheck.h"
#include "import/TransferJournal.h"
#include "import/TransferReport.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

using namespace tallyra;

Q_DECLARE_METATYPE(tallyra::CellValue)
Q_DECLARE_METATYPE(std::optional<tallyra::AnomalyKind>)
Q_DECLARE_METATYPE(tallyra::JournalEntry)

namespace {

// A gradebook held in memory: column 1 the IDs, column 2 the scores.
class FakeSpreadsheet : public Spreadsheet {
public:
    QMap<QPair<int, int>, CellValue> cells;
    bool running = true;

    void put(int row, const QString &id, CellValue score)
    {
        cells[{row, 1}] = CellValue::ofText(id);
        cells[{row, 2}] = std::move(score);
    }

    bool setVisible(bool) override { return running; }
    bool open(const QString &, bool) override { return running; }
    bool activateWorkbook(int) override { return running; }
    std::optional<int> sheetCount() const override { return running ? std::optional<int>(1) : std::nullopt; }
    std::optional<QString> sheetName(int) const override { return QStringLiteral("S"); }
    bool activateSheet(int) override { return running; }
    std::optional<QVector<int>> findInColumn(int column, const QString &text) const override
    {
        if (!running)
            return std::nullopt;
        QVector<int> rows;
        for (auto it = cells.begin(); it != cells.end(); ++it)
            if (it.key().second == column && it->textForm().trimmed().compare(text.trimmed(), Qt::CaseInsensitive) == 0)
                rows << it.key().first;
        return rows;
    }
    std::optional<CellValue> cell(int row, int column) const override
    {
        if (!running)
            return std::nullopt;
        return cells.value({row, column});
    }
    std::optional<QVector<QVector<CellValue>>> readColumns(int sheet, const QVector<int> &columns) const override
    {
        if (!running || sheet != 1)
            return std::nullopt;
        int lastRow = 0;
        for (auto it = cells.begin(); it != cells.end(); ++it)
            lastRow = std::max(lastRow, it.key().first);
        QVector<QVector<CellValue>> result;
        for (int column : columns) {
            QVector<CellValue> list;
            for (int row = 1; row <= lastRow; ++row)
                list << cells.value({row, column});
            result << list;
        }
        return result;
    }
    std::optional<int> otherDocumentCount() const override { return 0; }
    std::optional<bool> hasUnsavedChanges() const override { return false; }
    bool closeActiveWorkbook() override { return running; }
    bool quit() override { return running; }
};

FormSnapshot form(const QList<QPair<QString, QString>> &namesAndValues)
{
    FormSnapshot s;
    s.status = FormSnapshot::Status::Ok;
    s.token = QStringLiteral("t");
    for (int i = 0; i < namesAndValues.size(); ++i)
        s.elements.push_back({i, namesAndValues[i].first, namesAndValues[i].second, QString(), true});
    return s;
}

// "index:name=value" per write, and "id:anomaly-or-score" per student.
QStringList describeWrites(const TransferPlan &plan)
{
    QStringList out;
    for (const FieldWrite &w : plan.writes)
        out << QStringLiteral("%1:%2=%3").arg(w.index).arg(w.name, w.text);
    return out;
}

QStringList describeStudents(const TransferPlan &plan)
{
    static const char *names[] = {"NotFound", "Empty", "Negative", "Over100", "NotNumeric", "NotAScore", "Duplicate", "MissingField", "NotWritable", "NotKept"};
    QStringList out;
    for (const StudentResult &s : plan.students)
        out << s.id + QLatin1Char(':')
                   + (s.outcome.anomaly ? QString::fromLatin1(names[int(*s.outcome.anomaly)])
                                        : QString::number(s.outcome.score));
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray today() { return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toUtf8(); }

// Transfer `n` as the journal keeps it: counts and values differ with n.
JournalEntry journalEntry(int n)
{
    JournalEntry e;
    e.when = QDateTime(QDate(2026, 10, 1), QTime(8, 0)).addSecs(60 * n);
    e.pageUrl = QStringLiteral("https://tis.example.edu.tw/teacher/grade.asp?class=301&n=%1").arg(n);
    e.pageTitle = QStringLiteral("三年一班 國文 第%1次段考").arg(n);
    e.gradebook = QStringLiteral("/home/t/成績冊%1.xlsx").arg(n);
    e.sheet = QStringLiteral("三年一班國文");
    e.idColumn = QStringLiteral("B");
    e.scoreColumn = QStringLiteral("E");
    e.written = 3;
    e.emptied = 1;
    e.anomalies = 2;
    e.borderline = n % 3;
    e.report = QStringLiteral("==== Quillo: 成績輸入異常狀況回報 ====\n請注意！Quillo在成績冊中找不到學號 %1 !").arg(n);
    e.students = {{QStringLiteral("0910%1").arg(n), QString::number(n % 101), QString()},
                  {QStringLiteral("09102"), QString(), QStringLiteral("66")}};
    return e;
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private slots:
    void classify_data()
    {
        QTest::addColumn<CellValue>("cell");
        QTest::addColumn<std::optional<AnomalyKind>>("anomaly");
        QTest::addColumn<int>("score");
        const std::optional<AnomalyKind> ok;
        QTest::newRow("100") << CellValue::ofNumber(100) << ok << 100;
        QTest::newRow("100.4") << CellValue::ofNumber(100.4) << std::optional(AnomalyKind::Over100) << 0;
        QTest::newRow("99.5 rounds up") << CellValue::ofNumber(99.5) << ok << 100;
        QTest::newRow("0") << CellValue::ofNumber(0) << ok << 0;
        QTest::newRow("-0.5") << CellValue::ofNumber(-0.5) << std::optional(AnomalyKind::Negative) << 0;
        QTest::newRow("-0.3 checked before rounding") << CellValue::ofNumber(-0.3) << std::optional(AnomalyKind::Negative) << 0;
        QTest::newRow("text 85") << CellValue::ofText(QStringLiteral("85")) << ok << 85;
        QTest::newRow("text with blanks") << CellValue::ofText(QStringLiteral(" 85 ")) << ok << 85;
        QTest::newRow("spaces only") << CellValue::ofText(QStringLiteral("   ")) << std::optional(AnomalyKind::Empty) << 0;
        QTest::newRow("empty") << CellValue() << std::optional(AnomalyKind::Empty) << 0;
        QTest::newRow("85分") << CellValue::ofText(QStringLiteral("85分")) << std::optional(AnomalyKind::NotNumeric) << 0;
        QTest::newRow("#N/A") << CellValue::ofError(QStringLiteral("#N/A")) << std::optional(AnomalyKind::NotNumeric) << 0;
        QTest::newRow("TRUE is not a number") << CellValue::ofBoolean(true) << std::optional(AnomalyKind::NotNumeric) << 0;
        QTest::newRow("58.5") << CellValue::ofNumber(58.5) << ok << 59;
        QTest::newRow("59.45") << CellValue::ofNumber(59.45) << ok << 59;
        QTest::newRow("59.96") << CellValue::ofNumber(59.96) << ok << 60;
        QTest::newRow("0.5") << CellValue::ofNumber(0.5) << ok << 1;
        QTest::newRow("57.5") << CellValue::ofNumber(57.5) << ok << 58;
        QTest::newRow("60.5") << CellValue::ofNumber(60.5) << ok << 61;
        QTest::newRow("text 58.5") << CellValue::ofText(QStringLiteral("58.5")) << ok << 59;
        QTest::newRow("$50 is 50") << CellValue::ofText(QStringLiteral("$50")) << ok << 50;
        QTest::newRow("$150 is over 100") << CellValue::ofText(QStringLiteral("$150")) << std::optional(AnomalyKind::Over100) << 0;
        QTest::newRow("1,234 is over 100") << CellValue::ofText(QStringLiteral("1,234")) << std::optional(AnomalyKind::Over100) << 0;
        // What a number is shown as decides whether it is a score.
        const auto shown = [](double v, NumberClass c) { return CellValue::ofNumber(v, c); };
        const auto notAScore = std::optional(AnomalyKind::NotAScore);
        QTest::newRow("plain 1") << shown(1, NumberClass::Plain) << ok << 1;
        QTest::newRow("plain 0.85 rounds to 1") << shown(0.85, NumberClass::Plain) << ok << 1;
        QTest::newRow("number in text format") << shown(85, NumberClass::Text) << ok << 85;
        QTest::newRow("85%") << shown(0.85, NumberClass::Percent) << notAScore << 0;
        QTest::newRow("12:00:00") << shown(0.5, NumberClass::Time) << notAScore << 0;
        QTest::newRow("a date") << shown(46203, NumberClass::Date) << notAScore << 0;
        QTest::newRow("a date and time") << shown(46203.5, NumberClass::DateTime) << notAScore << 0;
        QTest::newRow("a number shown as TRUE") << shown(1, NumberClass::Boolean) << std::optional(AnomalyKind::NotNumeric) << 0;
        QTest::newRow("FALSE") << CellValue::ofBoolean(false) << std::optional(AnomalyKind::NotNumeric) << 0;
        // As typed with a Chinese input method, or pasted from a web page.
        QTest::newRow("full-width 85") << CellValue::ofText(QStringLiteral("８５")) << ok << 85;
        QTest::newRow("full-width 58.5") << CellValue::ofText(QStringLiteral("５８．５")) << ok << 59;
        QTest::newRow("full-width minus") << CellValue::ofText(QStringLiteral("－５")) << std::optional(AnomalyKind::Negative) << 0;
        QTest::newRow("no-break space after") << CellValue::ofText(QStringLiteral("85\u00a0")) << ok << 85;
        QTest::newRow("ideographic space and U+FEFF") << CellValue::ofText(QStringLiteral("\u3000\uFEFF85\u200B")) << ok << 85;
        QTest::newRow("no-break spaces only") << CellValue::ofText(QStringLiteral("\u00a0\u3000")) << std::optional(AnomalyKind::Empty) << 0;
        QTest::newRow("blank inside stays") << CellValue::ofText(QStringLiteral("85 分")) << std::optional(AnomalyKind::NotNumeric) << 0;
        QTest::newRow("full-width blank inside") << CellValue::ofText(QStringLiteral("8\u30005")) << std::optional(AnomalyKind::NotNumeric) << 0;
    }

    void classify()
    {
        QFETCH(CellValue, cell);
        QFETCH(std::optional<AnomalyKind>, anomaly);
        QFETCH(int, score);
        const auto outcome = ScoreRules::classify(cell);
        QCOMPARE(outcome.anomaly, anomaly);
        if (!anomaly)
            QCOMPARE(outcome.score, score);
    }

    void borderline_data()
    {
        QTest::addColumn<int>("autoReport");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("score");
        QTest::addColumn<bool>("note");
        QTest::newRow("58 in the band") << 1 << 58 << 58 << true;
        QTest::newRow("59 in the band") << 1 << 58 << 59 << true;
        QTest::newRow("60 passes") << 1 << 58 << 60 << false;
        QTest::newRow("57 below") << 1 << 58 << 57 << false;
        QTest::newRow("threshold 0 takes 0") << 1 << 0 << 0 << true;
        QTest::newRow("threshold 0 takes 45") << 1 << 0 << 45 << true;
        QTest::newRow("AutoReport off") << 0 << 58 << 58 << false;
        QTest::newRow("AutoReport 2 is off") << 2 << 58 << 58 << false;
    }

    void borderline()
    {
        QFETCH(int, autoReport);
        QFETCH(int, threshold);
        QFETCH(int, score);
        QFETCH(bool, note);
        Settings s = Settings::defaults();
        s.AutoReport = quint8(autoReport);
        s.ReportThreshold = quint8(threshold);
        QCOMPARE(ScoreRules::isBorderline(score, s), note);
    }

    void lines()
    {
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::NotFound, "0123"), QStringLiteral("請注意！Quillo在成績冊中找不到學號 0123 !"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::Empty, "0123"), QStringLiteral("請注意！成績冊中學號 0123 的分數欄內沒有任何資料!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::Negative, "0123"), QStringLiteral("請注意！成績冊中學號 0123 的分數欄內為負分!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::Over100, "0123"), QStringLiteral("請注意！成積冊中學號 0123 的分數欄內資料超過100分!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::NotNumeric, "0123"), QStringLiteral("請注意！成績冊中學號 0123 的分數欄內不是數值資料!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::NotAScore, "0123"), QStringLiteral("請注意！成績冊中學號 0123 的分數欄內是日期、時間或百分比，不是分數!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::Duplicate, "0123"), QStringLiteral("請注意！成績冊中學號 0123 出現在多個列，無法確定分數!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::MissingField, "0123"), QStringLiteral("請注意！成績輸入網頁中找不到學號 0123 的分數欄位!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::NotWritable, "0123"), QStringLiteral("請注意！網頁上學號 0123 的成績欄無法輸入!"));
        QCOMPARE(ScoreRules::anomalyLine(AnomalyKind::NotKept, "0123"), QStringLiteral("請注意！網頁沒有保留學號 0123 的成績!"));
        QCOMPARE(ScoreRules::borderlineNote("0123", 58), QStringLiteral("請注意! 學號 0123 的成績剛好在及格邊緣! (58分)"));
    }

    void plan_data()
    {
        QTest::addColumn<QList<QPair<QString, QString>>>("page");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QStringList>("students");
        using Page = QList<QPair<QString, QString>>;
        // The gradebook of every row: 0123 77.5 / 0456 empty / 12 40 / 123 90 / 7 twice / 0999 in row 300.
        QTest::newRow("per-student")
            << Page{{"mStd_id", "0123"}, {"S0123", "5"}, {"mStd_id", "0456"}, {"S0456", "9"}, {"btn", "存"}}
            << QStringList{"1:S0123=78", "3:S0456="} << QStringList{"0123:78", "0456:Empty"};
        QTest::newRow("no part of a longer ID")
            << Page{{"mStd_id", "12"}, {"S12", ""}, {"mStd_id", "123"}, {"S123", ""}, {"mStd_id", "23"}, {"S23", ""}}
            << QStringList{"1:S12=40", "3:S123=90", "5:S23="} << QStringList{"12:40", "123:90", "23:NotFound"};
        QTest::newRow("ID in two rows") << Page{{"mStd_id", "7"}, {"S7", "50"}} << QStringList{"1:S7="}
                                        << QStringList{"7:Duplicate"};
        QTest::newRow("row 300") << Page{{"mStd_id", "0999"}, {"S0999", ""}} << QStringList{"1:S0999=61"}
                                 << QStringList{"0999:61"};
        QTest::newRow("fields out of order, found by name")
            << Page{{"mStd_id", "0123"}, {"mStd_id", "12"}, {"S12", ""}, {"S0123", ""}}
            << QStringList{"3:S0123=78", "2:S12=40"} << QStringList{"0123:78", "12:40"};
        QTest::newRow("missing field, later students still done")
            << Page{{"mStd_id", "0123"}, {"mStd_id", "12"}, {"S12", ""}}
            << QStringList{"2:S12=40"} << QStringList{"0123:MissingField", "12:40"};
        QTest::newRow("shared-name by position")
            << Page{{"mStd_id", "12"}, {"STD", ""}, {"mStd_id", "0456"}, {"STD", "3"}, {"STD", "keep"}}
            << QStringList{"1:STD=40", "3:STD="} << QStringList{"12:40", "0456:Empty"};
        QTest::newRow("shared-name, more IDs than fields")
            << Page{{"mStd_id", "12"}, {"mStd_id", "123"}, {"STD", ""}}
            << QStringList{"2:STD=40"} << QStringList{"12:40", "123:MissingField"};
        QTest::newRow("both layouts: STD decides")
            << Page{{"mStd_id", "12"}, {"S12", "1"}, {"STD", ""}} << QStringList{"2:STD=40"} << QStringList{"12:40"};
    }

    void plan()
    {
        using Page = QList<QPair<QString, QString>>;
        QFETCH(Page, page);
        QFETCH(QStringList, writes);
        QFETCH(QStringList, students);
        auto book = std::make_shared<FakeSpreadsheet>();
        book->put(1, "0123", CellValue::ofNumber(77.5));
        book->put(2, "0456", CellValue());
        book->put(3, "12", CellValue::ofNumber(40));
        book->put(4, "123", CellValue::ofNumber(90));
        book->put(5, "7", CellValue::ofNumber(50));
        book->put(6, "7", CellValue::ofNumber(51));
        book->put(300, "0999", CellValue::ofNumber(61));
        const auto result = GradeTransfer::plan(form(page), GradebookColumns::read(*book, 1, 1, 2), Settings::defaults());
        QVERIFY(std::holds_alternative<TransferPlan>(result));
        const auto &plan = std::get<TransferPlan>(result);
        QCOMPARE(describeWrites(plan), writes);
        QCOMPARE(describeStudents(plan), students);
    }

    void refusals_data()
    {
        QTest::addColumn<QList<QPair<QString, QString>>>("page");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<int>("refusal");
        using Page = QList<QPair<QString, QString>>;
        Page many;
        for (int i = 0; i < 255; ++i)
            many << qMakePair(QStringLiteral("mStd_id"), QString::number(i)) << qMakePair(QStringLiteral("S") + QString::number(i), QString());
        QTest::newRow("255 students") << many << true << int(TransferRefusal::TooManyStudents);
        QTest::newRow("no students") << Page{{"STD", ""}, {"S1", ""}} << true << int(TransferRefusal::NoStudents);
        QTest::newRow("gradebook closed") << Page{{"mStd_id", "12"}, {"S12", ""}} << false
                                          << int(TransferRefusal::GradebookUnreadable);
    }

    void refusals()
    {
        using Page = QList<QPair<QString, QString>>;
        QFETCH(Page, page);
        QFETCH(bool, readable);
        QFETCH(int, refusal);
        auto book = std::make_shared<FakeSpreadsheet>();
        book->put(1, "12", CellValue::ofNumber(40));
        book->running = readable;
        const auto result = GradeTransfer::plan(form(page), GradebookColumns::read(*book, 1, 1, 2), Settings::defaults());
        QVERIFY(std::holds_alternative<TransferRefusal>(result));
        QCOMPARE(int(std::get<TransferRefusal>(result)), refusal);

        FormSnapshot unreadable;
        unreadable.status = FormSnapshot::Status::FrameInaccessible;
        QCOMPARE(std::get<TransferRefusal>(GradeTransfer::plan(unreadable, GradebookColumns::read(*book, 1, 1, 2), Settings::defaults())),
                 TransferRefusal::PageUnreadable);
    }

    void blankPageIdIsNeverSearched()
    {
        // Blank text cells (a formula giving "" or spaces) must not lend their row's score.
        auto book = std::make_shared<FakeSpreadsheet>();
        book->put(1, "", CellValue::ofNumber(40));
        book->put(2, "   ", CellValue::ofNumber(41));
        book->put(3, "13", CellValue::ofNumber(42));
        const auto result = GradeTransfer::plan(
            form({{"mStd_id", ""}, {"S", "9"}, {"mStd_id", "  "}, {"S  ", "9"}, {"mStd_id", "13"}, {"S13", "9"}}),
            GradebookColumns::read(*book, 1, 1, 2), Settings::defaults());
        const auto &plan = std::get<TransferPlan>(result);
        QCOMPARE(describeStudents(plan), (QStringList{":NotFound", "  :NotFound", "13:42"}));
        QCOMPARE(describeWrites(plan), (QStringList{"1:S=", "3:S  =", "5:S13=42"}));
    }

    void idsAsTeachersStoreThem()
    {
        // IDs as numbers (shown with leading zeros or not) and typed full-width.
        auto book = std::make_shared<FakeSpreadsheet>();
        book->put(1, "x", CellValue::ofNumber(70));
        book->cells[{1, 1}] = CellValue::ofNumber(91001, NumberClass::Plain, QStringLiteral("091001"));
        book->put(2, "x", CellValue::ofNumber(71));
        book->cells[{2, 1}] = CellValue::ofNumber(91002);
        book->put(3, "x", CellValue::ofNumber(72));
        book->cells[{3, 1}] = CellValue::ofNumber(91003);
        book->put(4, "６２００１０", CellValue::ofNumber(73));
        book->put(5, "x", CellValue::ofNumber(74));
        book->cells[{5, 1}] = CellValue::ofNumber(45000, NumberClass::Date, QStringLiteral("2023-03-15"));
        // 091003 and 0091003 both stand for 91003: neither may take its score.
        const auto result = GradeTransfer::plan(form({{"mStd_id", "091001"}, {"S091001", ""}, {"mStd_id", "091002"},
                                                      {"S091002", ""}, {"mStd_id", "091003"}, {"S091003", "9"},
                                                      {"mStd_id", "0091003"}, {"S0091003", "9"}, {"mStd_id", "620010"},
                                                      {"S620010", ""}, {"mStd_id", "045000"}, {"S045000", ""}}),
                                                GradebookColumns::read(*book, 1, 1, 2), Settings::defaults());
        QCOMPARE(describeStudents(std::get<TransferPlan>(result)),
                 (QStringList{"091001:70", "091002:71", "091003:NotFound", "0091003:NotFound", "620010:73",
                              "045000:NotFound"}));
    }

    void fieldThatCannotTakeAScore()
    {
        auto book = std::make_shared<FakeSpreadsheet>();
        book->put(1, "12", CellValue::ofNumber(40));
        book->put(2, "13", CellValue::ofNumber(41));
        FormSnapshot page = form({{"mStd_id", "12"}, {"S12", "A"}, {"mStd_id", "13"}, {"S13", ""}});
        page.elements[1].writable = false; // a list, a date, a check box, disabled
        const auto &plan = std::get<TransferPlan>(
            GradeTransfer::plan(page, GradebookColumns::read(*book, 1, 1, 2), Settings::defaults()));
        QCOMPARE(describeStudents(plan), (QStringList{"12:NotWritable", "13:41"}));
        QCOMPARE(describeWrites(plan), QStringList{"3:S13=41"}); // left as it is
        // It says nothing about the columns: one of one found, with a score.
        const auto counts = TransferCheck::count(plan);
        QCOMPARE(std::tuple(counts.students, counts.found, counts.withNumber), std::tuple(1, 1, 1));
    }

    void anotherSheetIsNotRead()
    {
        auto book = std::make_shared<FakeSpreadsheet>();
        book->put(1, "12", CellValue::ofNumber(40));
        QVERIFY(!GradebookColumns::read(*book, 2, 1, 2).readable());
        QVERIFY(GradebookColumns::read(*book, 1, 1, 2).readable());
    }

    void notesAndStatus()
    {
        auto book = std::make_shared<FakeSpreadsheet>();
        book->put(1, "1", CellValue::ofNumber(57.5));
        book->put(2, "2", CellValue::ofNumber(59.5));
        book->put(3, "3", CellValue::ofNumber(57.4));
        QStringList status;
        const auto result = GradeTransfer::plan(form({{"mStd_id", "1"}, {"S1", ""}, {"mStd_id", "2"}, {"S2", ""}, {"mStd_id", "3"}, {"S3", ""}}),
                                                GradebookColumns::read(*book, 1, 1, 2), Settings::defaults(),
                                                [&status](const QString &text) { status << text; });
        const auto &plan = std::get<TransferPlan>(result);
        QCOMPARE(plan.notes, QStringList{QStringLiteral("請注意! 學號 1 的成績剛好在及格邊緣! (58分)")});
        QCOMPARE(status.first(), QStringLiteral("驗證學號 1 欄位..."));
        QCOMPARE(status.last(), QStringLiteral("輸入 3 的成績..."));
    }

    void reportFile_data()
    {
        QTest::addColumn<int>("anomalies");
        QTest::addColumn<int>("notes");
        QTest::addColumn<QByteArray>("expected"); // "DATE" stands for today's short date
        QTest::newRow("one anomaly")
            << 1 << 0 << QByteArray("DATE\r\n==== Quillo: 成績輸入異常狀況回報 ====\r\n請注意！Quillo在成績冊中找不到學號 A1 !\r\n");
        QTest::newRow("notes only")
            << 0 << 2
            << QByteArray("==== Quillo: 提醒您注意以下成績 ====\r\n請注意! 學號 N1 的成績剛好在及格邊緣! (58分)\r\n"
                          "請注意! 學號 N2 的成績剛好在及格邊緣! (59分)\r\n\r\n");
        QTest::newRow("both")
            << 2 << 1
            << QByteArray("DATE\r\n==== Quillo: 成績輸入異常狀況回報 ====\r\n請注意！Quillo在成績冊中找不到學號 A1 !\r\n"
                          "請注意！Quillo在成績冊中找不到學號 A2 !\r\n\r\n\r\n\r\n\r\n"
                          "==== Quillo: 提醒您注意以下成績 ====\r\n請注意! 學號 N1 的成績剛好在及格邊緣! (58分)\r\n\r\n");
        QTest::newRow("neither: the earlier file stays") << 0 << 0 << QByteArray("an earlier report\r\n");
    }

    void reportFile()
    {
        QFETCH(int, anomalies);
        QFETCH(int, notes);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("toExcelLog.txt"));
        {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("an earlier report\r\n");
        }
        TransferReport report(path);
        for (int i = 1; i <= anomalies; ++i)
            report.RecordAnomaly(AnomalyKind::NotFound, QStringLiteral("A%1").arg(i));
        QStringList list;
        for (int i = 1; i <= notes; ++i)
            list << ScoreRules::borderlineNote(QStringLiteral("N%1").arg(i), 57 + i);
        QVERIFY(report.save(list));
        QCOMPARE(readFile(path), QByteArray(expected).replace("DATE", today()));
        // The journal keeps the same text, with plain line breaks.
        const QByteArray saved = anomalies || notes ? readFile(path).replace("\r\n", "\n") : QByteArray();
        QCOMPARE(report.text(list).toUtf8() + (saved.isEmpty() ? "" : "\n"), saved);
    }

    void reportReplacesTheEarlierOneOnlyWhenSaved()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("toExcelLog.txt"));
        TransferReport first(path);
        first.RecordAnomaly(AnomalyKind::Empty, "1");
        first.RecordAnomaly(AnomalyKind::Over100, "2");
        QVERIFY(first.save({}));
        const QByteArray earlier = readFile(path);
        QVERIFY(earlier.endsWith("請注意！成積冊中學號 2 的分數欄內資料超過100分!\r\n"));
        TransferReport second(path); // a transfer whose write never landed is never saved
        second.RecordAnomaly(AnomalyKind::Negative, "3");
        QCOMPARE(readFile(path), earlier);
        QVERIFY(second.save({}));
        QCOMPARE(readFile(path).count("\r\n"), 3); // the next one replaces it
        QVERIFY(!readFile(path).contains("成積冊"));
    }

    void unwritableReport()
    {
        QTemporaryDir dir;
        TransferReport report(dir.path()); // a folder, not a file
        report.RecordAnomaly(AnomalyKind::Empty, "1");
        QVERIFY(!report.save({QStringLiteral("note")}));
        QCOMPARE(report.anomalyCount(), 1);
    }
    void journalRoundTrip_data()
    {
        QTest::addColumn<JournalEntry>("entry");
        JournalEntry plain = journalEntry(1);
        QTest::newRow("plain") << plain;
        JournalEntry awkward = journalEntry(2);
        awkward.pageTitle = QStringLiteral("成績\t輸入\\t");
        awkward.gradebook = QStringLiteral("/home/t/成績 冊\\n/a\tb.xlsx");
        awkward.report = QStringLiteral("==== Quillo ====\r\n第一行\n\\第二行\\\n");
        awkward.students = {{QStringLiteral("09\t1"), QString(), QStringLiteral("5\n8")}, {QStringLiteral("\\"), QStringLiteral("100"), QString()}};
        QTest::newRow("tabs, line breaks, backslashes") << awkward;
        JournalEntry none = journalEntry(3);
        none.students.clear();
        none.report.clear();
        QTest::newRow("no students, no report") << none;
    }

    void journalRoundTrip()
    {
        QFETCH(JournalEntry, entry);
        QTemporaryDir dir;
        TransferJournal journal(dir.filePath(QStringLiteral("state/tallyra/transfers.tsv")));
        QVERIFY(journal.append(journalEntry(0)));
        QVERIFY(journal.append(entry));
        const auto contents = journal.load();
        QVERIFY(!contents.damaged);
        QCOMPARE(contents.entries, (QVector<JournalEntry>{journalEntry(0), entry}));
        // One line per transfer and per student, whatever the values hold.
        QCOMPARE(readFile(journal.path()).count('\n'), 3 + journalEntry(0).students.size() + entry.students.size());
        QVERIFY(journal.movedAside().isEmpty());
    }

    void journalKeepsTheLast500()
    {
        QTemporaryDir dir;
        TransferJournal journal(dir.filePath(QStringLiteral("transfers.tsv")));
        QVector<JournalEntry> full;
        for (int n = 1; n <= TransferJournal::kMaxTransfers; ++n)
            full << journalEntry(n);
        QVERIFY(writeFile(journal.path(), TransferJournal::serialize(full)));
        QCOMPARE(journal.load().entries.size(), TransferJournal::kMaxTransfers);
        QVERIFY(journal.append(journalEntry(501)));
        QVERIFY(journal.append(journalEntry(502)));
        const auto entries = journal.load().entries;
        QCOMPARE(entries.size(), TransferJournal::kMaxTransfers);
        QCOMPARE(entries.first(), journalEntry(3)); // the oldest went first
        QCOMPARE(entries.last(), journalEntry(502));
        // Replaced whole: nothing half-written is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("transfers.tsv")});
    }

    void damagedJournalIsKeptAside_data()
    {
        const QByteArray good = TransferJournal::serialize({journalEntry(3), journalEntry(6)});
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("cut short") << good.left(good.size() - 3);
        QTest::newRow("no header") << good.mid(good.indexOf('\n') + 1);
        QTest::newRow("garbage") << QByteArray("\x00\xFF\x13 not a journal\n", 19);
        QTest::newRow("student before any transfer") << QByteArray("tallyra-transfers\t1\nS\t1\t0123\t77\t\n");
        QTest::newRow("transfers out of order") << QByteArray(good).replace("T\t2\t", "T\t7\t");
        QTest::newRow("unknown escape") << QByteArray(good).replace("\t三年", "\t\\q三年");
        QTest::newRow("negative count") << QByteArray(good).replace("\t3\t1\t2\t0\t", "\t-3\t1\t2\t0\t");
        QTest::newRow("a field missing") << QByteArray(good).replace("\t3\t1\t2\t0\t", "\t3\t1\t2\t");
        QTest::newRow("not UTF-8") << QByteArray(good).replace("三年", "\xA4\x54");
    }

    void damagedJournalIsKeptAside()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        TransferJournal journal(dir.filePath(QStringLiteral("transfers.tsv")));
        QVERIFY(writeFile(journal.path(), bytes));
        QVERIFY(journal.load().damaged);
        QVERIFY(journal.append(journalEntry(9)));
        QCOMPARE(journal.movedAside(), journal.path() + QStringLiteral(".damaged"));
        QCOMPARE(readFile(journal.movedAside()), bytes);
        QCOMPARE(journal.load().entries, QVector<JournalEntry>{journalEntry(9)});
        // A second damage never replaces the first one kept aside.
        QVERIFY(writeFile(journal.path(), bytes));
        QVERIFY(journal.append(journalEntry(10)));
        QCOMPARE(journal.movedAside(), journal.path() + QStringLiteral(".2.damaged"));
        QCOMPARE(readFile(journal.path() + QStringLiteral(".damaged")), bytes);
    }

    void journalThatCannotBeWritten_data()
    {
        QTest::addColumn<bool>("folderInPlace");
        QTest::newRow("its folder is a file") << false;
        QTest::newRow("a folder in its place") << true;
    }

    void journalThatCannotBeWritten()
    {
        QFETCH(bool, folderInPlace);
        QTemporaryDir dir;
        QString path;
        if (folderInPlace) {
            path = dir.filePath(QStringLiteral("transfers.tsv"));
            QVERIFY(QDir().mkpath(path));
        } else {
            QVERIFY(writeFile(dir.filePath(QStringLiteral("tallyra")), "a file"));
            path = dir.filePath(QStringLiteral("tallyra/transfers.tsv"));
        }
        TransferJournal journal(path);
        QVERIFY(!journal.append(journalEntry(1)));
        QVERIFY(journal.movedAside().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
    }

    void journalDetailsNameEverything()
    {
        const JournalEntry e = journalEntry(3);
        const QString details = TransferJournal::details(e);
        for (const QString &piece : {e.pageTitle, e.pageUrl, e.gradebook, e.sheet, QStringLiteral("學號欄：B"),
                                    QStringLiteral("成績欄：E"), QStringLiteral("寫入 3 筆，清空 1 筆，異常 2 筆，需留意 0 筆"),
                                    QStringLiteral("找不到學號")})
            QVERIFY2(details.contains(piece), qPrintable(piece));
        QVERIFY(TransferJournal::summary(e).contains(QStringLiteral("三年一班國文")));
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
