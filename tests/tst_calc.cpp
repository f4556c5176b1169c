// The Calc implementation of the spreadsheet calls, against a real office.
// Needs a display (xvfb-run) and LibreOffice Calc.

#include "support/CalcSupport.h"

#include "platform/calc/CalcSpreadsheet.h"
#include "platform/calc/OfficeProcess.h"
#include "platform/workbook/EmbeddedSpreadsheet.h"
#include "workbook/FormatCode.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>

#include <xlsxwriter.h>

using tallyra::CalcSpreadsheet;
using tallyra::CellValue;
using tallyra::EmbeddedSpreadsheet;
using Kind = tallyra::CellValue::Kind;
namespace OfficeProcess = tallyra::OfficeProcess;

namespace {
const QString kFixtures = QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks/");
}

class TestCalc : public QObject {
    Q_OBJECT

    tallyra::test::CalcOffices m_offices;
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY2(m_offices.prepare(), qPrintable(m_offices.whyNot())); }
    void cleanup() { m_offices.endAll(); }

    void readsEveryFormat_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << "values.xlsx";
        QTest::newRow("xls") << "values.xls";
        QTest::newRow("ods") << "values.ods";
    }

    // The cells and searches the embedded reader is held to, read through the
    // office.
    void readsEveryFormat()
    {
        QFETCH(QString, file);
        const auto calc = m_offices.start();
        QVERIFY2(calc, qPrintable(CalcSpreadsheet::lastStartFailure()));
        QVERIFY(calc->setVisible(true));
        QVERIFY(calc->open(kFixtures + file, true));
        QVERIFY(calc->activateWorkbook(1));
        QCOMPARE(calc->sheetCount(), 3);
        QCOMPARE(calc->sheetName(1), QStringLiteral("成績 一"));
        QCOMPARE(calc->sheetName(2), QStringLiteral("Sheet2"));
        QCOMPARE(calc->sheetName(3), QStringLiteral("第三頁"));
        QCOMPARE(calc->sheetName(4), std::nullopt);
        QVERIFY(calc->activateSheet(1));

        const struct {
            int row;
            Kind kind;
            const char *text;
        } cells[] = {
            {1, Kind::Text, "分數"},          {2, Kind::Number, "77.5"},   {3, Kind::Number, "100"},
            {4, Kind::Number, "0.333333333333333"}, {5, Kind::Text, " 85 "}, {6, Kind::Empty, ""},
            {7, Kind::Error, "#DIV/0!"},     {8, Kind::Boolean, "TRUE"},  {9, Kind::Number, "-5"},
            {10, Kind::Number, "58.5"},      {11, Kind::Text, "缺考"},    {12, Kind::Number, "1E+20"},
            {13, Kind::Number, "0.3"},       {300, Kind::Number, "66"},   {302, Kind::Empty, ""},
        };
        for (const auto &e : cells) {
            const auto value = calc->cell(e.row, 2);
            QVERIFY2(value, qPrintable(QStringLiteral("row %1").arg(e.row)));
            // The .xls caches =TRUE() with a boolean result, which Calc shows
            // as 1: it is still read as the boolean it is.
            QCOMPARE(std::pair(e.row, value->kind), std::pair(e.row, e.kind));
            QCOMPARE(value->textForm(), QString::fromUtf8(e.text));
        }
        QCOMPARE(calc->cell(2, 1), CellValue::ofText(QStringLiteral("0123")));

        const struct {
            int column;
            const char *text;
            QVector<int> rows;
        } searches[] = {
            {1, "0123", {2, 301}}, {1, "9300", {300}}, {1, " AB12 ", {11}}, {1, "012", {}},
            {1, "123", {}},        {1, "5555", {}},    {2, "77.5", {2}},    {2, "85", {5}},
            {2, "#DIV/0!", {7}},   {2, "1E+20", {12}},
        };
        for (const auto &s : searches)
            QCOMPARE(std::pair(QString::fromUtf8(s.text), calc->findInColumn(s.column, QString::fromUtf8(s.text))),
                     std::pair(QString::fromUtf8(s.text), std::optional(s.rows)));

        // Activation goes through the office's view: the second sheet is read next.
        QVERIFY(calc->activateSheet(2));
        QCOMPARE(calc->cell(1, 1)->textForm(), QStringLiteral("second"));
        QCOMPARE(calc->findInColumn(1, QStringLiteral("SECOND")), QVector<int>{1});
        QVERIFY(!calc->activateSheet(4));
        QCOMPARE(calc->hasUnsavedChanges(), false);

        const qint64 pid = calc->processId();
        QVERIFY(calc->closeActiveWorkbook());
        QCOMPARE(calc->sheetCount(), std::nullopt);
        QVERIFY(calc->quit());
        QVERIFY(!OfficeProcess::isAlive(pid));
        QVERIFY(!QFile::exists(calc->profileFolder() + QStringLiteral("/.lock")));
    }

    void bothSpreadsheetsAgree_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QVector<int>>("columns"); // the ID column, then the score column
        const QString demo = QStringLiteral(TALLYRA_TEST_SOURCE_DIR "/../demo/gradebooks/示範成績冊");
        for (const char *name : {"values.xlsx", "values.xls", "values.ods"})
            QTest::addRow("%s", name) << kFixtures + QString::fromLatin1(name) << QVector<int>{1, 2};
        for (const char *suffix : {".xlsx", ".xls", ".ods"})
            QTest::addRow("demo%s", suffix) << demo + QString::fromLatin1(suffix) << QVector<int>{2, 5};

        // Texts that travel badly: a tab in a text of several lines, a
        // leading U+FEFF (a byte order mark to a careless decoder), codes
        // written for control characters and codes that are only text.
        const QString odd = m_dir.filePath(QStringLiteral("odd-texts.xlsx"));
        lxw_workbook *book = workbook_new(odd.toLocal8Bit().constData());
        lxw_worksheet *ws = workbook_add_worksheet(book, "odd");
        const char *ids[] = {"810101\t備註\n第二行", "\xEF\xBB\xBF" "810102", "8101\x01" "03", "S_x0041_4", "a_x005F_b", "810106"};
        for (int row = 0; row < 6; ++row) {
            worksheet_write_string(ws, lxw_row_t(row), 0, ids[row], nullptr);
            worksheet_write_number(ws, lxw_row_t(row), 1, 60 + row, nullptr);
        }
        workbook_close(book);
        QTest::addRow("odd texts") << odd << QVector<int>{1, 2};
    }

    // What a transfer reads, through both spreadsheets: every cell of the ID
    // and score columns of every sheet, read while another sheet is active.
    void bothSpreadsheetsAgree()
    {
        QFETCH(QString, file);
        QFETCH(QVector<int>, columns);
        const auto calc = m_offices.start();
        QVERIFY2(calc, qPrintable(CalcSpreadsheet::lastStartFailure()));
        const auto embedded = EmbeddedSpreadsheet::start();
        QVERIFY(calc->open(file, true) && calc->activateWorkbook(1));
        QVERIFY(embedded->open(file, true) && embedded->activateWorkbook(1));
        const int sheets = embedded->sheetCount().value_or(0);
        QCOMPARE(calc->sheetCount(), sheets);
        QVERIFY(calc->activateSheet(sheets) && embedded->activateSheet(sheets));
        for (int sheet = 1; sheet <= sheets; ++sheet) {
            const auto ours = embedded->readColumns(sheet, columns);
            const auto office = calc->readColumns(sheet, columns);
            QVERIFY(ours && office);
            for (int k = 0; k < columns.size(); ++k) {
                const auto &a = (*ours)[k];
                const auto &b = (*office)[k];
                for (int row = 0; row < std::max(a.size(), b.size()); ++row) {
                    const CellValue mine = a.value(row);
                    const CellValue theirs = b.value(row);
                    const QString where = QStringLiteral("sheet %1 column %2 row %3").arg(sheet).arg(columns[k]).arg(row + 1);
                    QCOMPARE(std::pair(where, std::pair(int(theirs.kind), theirs.textForm())),
                             std::pair(where, std::pair(int(mine.kind), mine.textForm())));
                }
            }
        }
        embedded->quit();
    }

    void numberFormats_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("ods") << kFixtures + QStringLiteral("formats.ods");

        // The same cells as formats.ods, as an .xlsx.
        const QString xlsx = m_dir.filePath(QStringLiteral("formats.xlsx"));
        lxw_workbook *book = workbook_new(xlsx.toLocal8Bit().constData());
        lxw_worksheet *ws = workbook_add_worksheet(book, "格式");
        const auto format = [&](const char *code) {
            lxw_format *f = workbook_add_format(book);
            format_set_num_format(f, code);
            return f;
        };
        lxw_format *percent = format("0%");
        lxw_format *text = format("@");
        worksheet_write_boolean(ws, 0, 1, 1, nullptr);
        worksheet_write_boolean(ws, 1, 1, 0, nullptr);
        worksheet_write_number(ws, 2, 1, 0.85, percent);
        worksheet_write_number(ws, 3, 1, 0.5, format("hh:mm:ss"));
        worksheet_write_number(ws, 4, 1, 46203, format("yyyy-mm-dd"));
        worksheet_write_number(ws, 5, 1, 46203.5, format("yyyy-mm-dd hh:mm:ss"));
        worksheet_write_number(ws, 6, 1, 91001, format("000000"));
        worksheet_write_string(ws, 7, 1, "091002", text);
        worksheet_write_number(ws, 8, 1, 1, nullptr);
        worksheet_write_number(ws, 9, 1, 0.85, nullptr);
        worksheet_write_number(ws, 10, 1, 91003, text);
        worksheet_write_number(ws, 11, 1, 77.5, format("0.00"));
        worksheet_write_formula_num(ws, 12, 1, "=B3", percent, 0.85);
        workbook_close(book);
        QTest::newRow("xlsx") << xlsx;
    }

    // What a number's format makes of it: a class, and the text Calc shows
    // where its format is not General. Through every read, and for what
    // the teacher types into Calc.
    void numberFormats()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString book = dir.filePath(QFileInfo(file).fileName());
        QVERIFY(QFile::copy(file, book));
        const auto calc = m_offices.start();
        QVERIFY2(calc, qPrintable(CalcSpreadsheet::lastStartFailure()));
        QVERIFY(calc->open(book, false) && calc->activateWorkbook(1) && calc->activateSheet(1));
        QVERIFY(calc->enterText(1, 3, QStringLiteral("TRUE")));
        QVERIFY(calc->enterText(2, 3, QStringLiteral("FALSE")));
        QVERIFY(calc->enterText(3, 3, QStringLiteral("85%")));
        QVERIFY(calc->enterText(4, 3, QStringLiteral("1")));

        using tallyra::NumberClass;
        const struct {
            int row;
            int column;
            Kind kind;
            NumberClass shownAs; // numbers only
            const char *shown;   // CellValue::text of a number: empty in General
            const char *textForm;
        } cells[] = {
            {1, 2, Kind::Boolean, NumberClass::Plain, "", "TRUE"},
            {2, 2, Kind::Boolean, NumberClass::Plain, "", "FALSE"},
            {3, 2, Kind::Number, NumberClass::Percent, "85%", "0.85"},
            {4, 2, Kind::Number, NumberClass::Time, "12:00:00", "0.5"},
            {5, 2, Kind::Number, NumberClass::Date, "2026-06-30", "46203"},
            {6, 2, Kind::Number, NumberClass::DateTime, "2026-06-30 12:00:00", "46203.5"},
            {7, 2, Kind::Number, NumberClass::Plain, "091001", "91001"},
            {8, 2, Kind::Text, NumberClass::Plain, "091002", "091002"},
            {9, 2, Kind::Number, NumberClass::Plain, "", "1"},
            {10, 2, Kind::Number, NumberClass::Plain, "", "0.85"},
            {11, 2, Kind::Number, NumberClass::Text, "91003", "91003"},
            {12, 2, Kind::Number, NumberClass::Plain, "77.50", "77.5"},
            {13, 2, Kind::Number, NumberClass::Percent, "85%", "0.85"}, // a formula's result
            {1, 3, Kind::Boolean, NumberClass::Plain, "", "TRUE"},       // typed into Calc
            {2, 3, Kind::Boolean, NumberClass::Plain, "", "FALSE"},
            {3, 3, Kind::Number, NumberClass::Percent, "85.00%", "0.85"}, // typing gives Calc's own 0.00%
            {4, 3, Kind::Number, NumberClass::Plain, "", "1"},
        };
        const auto read = calc->readColumns(1, {2, 3});
        QVERIFY(read && read->size() == 2);
        for (const auto &e : cells) {
            const QString where = QStringLiteral("row %1 column %2").arg(e.row).arg(e.column);
            const auto expected = std::tuple(where, e.kind, e.kind == Kind::Number ? e.shownAs : NumberClass::Plain,
                                             QString::fromUtf8(e.shown), QString::fromUtf8(e.textForm));
            const auto seen = [&](const CellValue &v) {
                return std::tuple(where, v.kind, v.kind == Kind::Number ? v.shownAs : NumberClass::Plain,
                                  v.kind == Kind::Number || v.kind == Kind::Text ? v.text : QString(), v.textForm());
            };
            QCOMPARE(seen((*read)[e.column - 2].value(e.row - 1)), expected);
            const auto one = calc->cell(e.row, e.column);
            QVERIFY(one);
            QCOMPARE(seen(*one), expected);
            // Only a plain number can be an ID or a score; its shown text is what the teacher sees.
            QCOMPARE(std::pair(where, one->isPlainNumber()),
                     std::pair(where, e.kind == Kind::Number
                                          && (e.shownAs == NumberClass::Plain || e.shownAs == NumberClass::Text)));
            if (e.kind == Kind::Number)
                QCOMPARE(one->shownText(), QString::fromUtf8(*e.shown ? e.shown : e.textForm));
        }

        // A boolean is searched as TRUE or FALSE, never as the 1 or 0 it holds.
        const struct {
            int column;
            const char *text;
            QVector<int> rows;
        } searches[] = {
            {2, "TRUE", {1}}, {2, "FALSE", {2}}, {2, "1", {9}}, {2, "0", {}}, {2, "91001", {7}},
            {3, "TRUE", {1}}, {3, "FALSE", {2}}, {3, "1", {4}},
        };
        for (const auto &s : searches)
            QCOMPARE(std::pair(s.column, std::pair(QString::fromUtf8(s.text), calc->findInColumn(s.column, QString::fromUtf8(s.text)))),
                     std::pair(s.column, std::pair(QString::fromUtf8(s.text), std::optional(s.rows))));
    }

    // A General number's text as Calc shows it, when asked for: what
    // FormatCode::show gives, which for a double just below a half-way
    // decimal is not the number's text form.
    void generalText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("textForm");
        QTest::newRow("score") << 77.5 << "77.5" << "77.5";
        QTest::newRow("ID") << 91001.0 << "91001" << "91001";
        QTest::newRow("a third") << 1.0 / 3 << "0.333333333333333" << "0.333333333333333";
        QTest::newRow("below half-way") << 656.7794761286555 << "656.779476128656" << "656.779476128655";
        QTest::newRow("negative below half-way") << -196.7657742215285 << "-196.765774221529" << "-196.765774221528";
        QTest::newRow("exactly half-way") << 856892454943510.5 << "856892454943511" << "856892454943510";
    }

    void generalText()
    {
        QFETCH(double, value);
        QFETCH(QString, shown);
        QFETCH(QString, textForm);
        const QString xlsx = m_dir.filePath(QStringLiteral("general.xlsx"));
        lxw_workbook *book = workbook_new(xlsx.toLocal8Bit().constData());
        worksheet_write_number(workbook_add_worksheet(book, "S"), 0, 0, value, nullptr);
        QCOMPARE(workbook_close(book), LXW_NO_ERROR);
        QCOMPARE(tallyra::FormatCode::show(u"General", value), std::optional<QString>(shown));

        for (const bool asked : {false, true}) {
            CalcSpreadsheet::Options options = m_offices.options();
            options.generalText = asked;
            CalcSpreadsheet::setOptions(options);
            const auto calc = m_offices.start();
            CalcSpreadsheet::setOptions(m_offices.options());
            QVERIFY2(calc, qPrintable(CalcSpreadsheet::lastStartFailure()));
            QVERIFY(calc->open(xlsx, true) && calc->activateWorkbook(1) && calc->activateSheet(1));
            const auto read = calc->readColumns(1, {1});
            QVERIFY(read && read->size() == 1 && !read->front().isEmpty());
            const auto one = calc->cell(1, 1);
            QVERIFY(one);
            for (const CellValue &v : {read->front().front(), *one}) {
                QCOMPARE(v.kind, Kind::Number);
                QCOMPARE(v.number, value);
                QCOMPARE(v.textForm(), textForm);
                QCOMPARE(v.text, asked ? shown : QString());
            }
            m_offices.endAll();
        }
    }

    // A formula that only refers to a boolean (=A1) shows as 1 in Calc when
    // Calc kept the .xls's cached result; the file still says it is TRUE.
    void cachedBooleanFromTheFile()
    {
        QTemporaryDir dir;
        const QString xlsx = dir.filePath(QStringLiteral("bool.xlsx"));
        lxw_workbook *book = workbook_new(xlsx.toLocal8Bit().constData());
        lxw_worksheet *ws = workbook_add_worksheet(book, "成績");
        worksheet_write_boolean(ws, 0, 0, 1, nullptr);
        worksheet_write_formula(ws, 1, 0, "=A1", nullptr);
        worksheet_write_formula(ws, 2, 0, "=A1*90", nullptr);
        workbook_close(book);
        // LibreOffice converts with a recalculation, so the .xls caches TRUE for =A1.
        QTemporaryDir profile;
        QDir().mkpath(profile.filePath(QStringLiteral("user")));
        QFile xcu(profile.filePath(QStringLiteral("user/registrymodifications.xcu")));
        QVERIFY(xcu.open(QIODevice::WriteOnly));
        xcu.write(R"(<?xml version="1.0" encoding="UTF-8"?><oor:items xmlns:oor="http://openoffice.org/2001/registry">)"
                  R"(<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>)"
                  R"(</oor:items>)");
        xcu.close();
        QProcess convert;
        convert.start(m_offices.options().officePath,
                      {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                       QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                       QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"), dir.path(), xlsx});
        QVERIFY(convert.waitForFinished(120000));
        const QString xls = dir.filePath(QStringLiteral("bool.xls"));
        QVERIFY(QFile::exists(xls));

        const auto calc = m_offices.start();
        QVERIFY2(calc, qPrintable(CalcSpreadsheet::lastStartFailure()));
        QVERIFY(calc->open(xls, true) && calc->activateWorkbook(1));
        QCOMPARE(calc->cell(2, 1)->textForm(), QStringLiteral("1")); // what Calc shows
        const auto read = calc->readColumns(1, {1});
        QVERIFY(read);
        QCOMPARE(read->at(0).value(0), CellValue::ofBoolean(true));
        QCOMPARE(read->at(0).value(1), CellValue::ofBoolean(true));
        QCOMPARE(read->at(0).value(2), CellValue::ofNumber(90));
    }

    void anotherInstanceIsLeftAlone()
    {
        const auto first = m_offices.start();
        const auto second = m_offices.start();
        QVERIFY(first && second);
        QVERIFY(first->processId() != second->processId());
        QVERIFY(first->profileFolder() != second->profileFolder());
        QVERIFY(first->open(kFixtures + QStringLiteral("values.xlsx"), true));
        QVERIFY(second->open(kFixtures + QStringLiteral("values.xlsx"), true));

        QVERIFY(first->closeActiveWorkbook());
        QVERIFY(first->quit());
        QVERIFY(!OfficeProcess::isAlive(first->processId()));
        QVERIFY(OfficeProcess::isAlive(second->processId()));
        QCOMPARE(second->cell(3, 2)->textForm(), QStringLiteral("100"));

        // A third instance takes the profile the first gave back.
        const auto third = m_offices.start();
        QVERIFY(third);
        QCOMPARE(third->profileFolder(), first->profileFolder());
    }

    // The teacher's own Calc has the gradebook open for editing: it still
    // opens here, read-only, and reads the same.
    void gradebookOpenElsewhere()
    {
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("values.xlsx"));
        QVERIFY(QFile::copy(kFixtures + QStringLiteral("values.xlsx"), book));
        const auto teachers = m_offices.start();
        QVERIFY(teachers && teachers->open(book, false));
        const auto ours = m_offices.start();
        QVERIFY(ours && ours->open(book, false));
        QCOMPARE(ours->cell(3, 2)->textForm(), QStringLiteral("100"));
        QVERIFY(ours->closeActiveWorkbook());
        QVERIFY(ours->quit());
        // The teacher's lock on the file is theirs to keep.
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral(".~lock.values.xlsx#"))));
    }

    void unsavedChangesAreSeen()
    {
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("成績.ods"));
        QVERIFY(QFile::copy(kFixtures + QStringLiteral("values.ods"), book));
        const auto calc = m_offices.start();
        QVERIFY(calc && calc->open(book, false));
        QCOMPARE(calc->hasUnsavedChanges(), false);
        QVERIFY(calc->enterText(2, 2, QStringLiteral("91")));
        QCOMPARE(calc->hasUnsavedChanges(), true);
        QCOMPARE(calc->cell(2, 2), CellValue::ofNumber(91));
        // The teacher's edit is searched, not a copy read earlier.
        QCOMPARE(calc->findInColumn(2, QStringLiteral("91")), QVector<int>{2});
    }

    // File > Reload in Calc replaces the document; the reloaded one is read
    // from then on.
    void documentReloadedInCalcIsFollowed()
    {
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("values.xlsx"));
        QVERIFY(QFile::copy(kFixtures + QStringLiteral("values.xlsx"), book));
        const auto calc = m_offices.start();
        QVERIFY2(calc, qPrintable(CalcSpreadsheet::lastStartFailure()));
        QVERIFY2(calc->setVisible(true) && calc->open(book, true), qPrintable(calc->lastError()));
        QCOMPARE(calc->cell(3, 2)->textForm(), QStringLiteral("100"));
        QVERIFY(QFile::remove(book));
        QVERIFY(QFile::copy(QStringLiteral(TALLYRA_TEST_SOURCE_DIR "/../demo/gradebooks/示範成績冊.xlsx"), book));
        QVERIFY(calc->dispatch(QStringLiteral(".uno:Reload")));
        QTRY_COMPARE_WITH_TIMEOUT(calc->sheetCount(), 4, 10000);
        QVERIFY(calc->activateSheet(1));
        QCOMPARE(calc->cell(3, 2)->textForm(), QStringLiteral("091002"));
        QCOMPARE(calc->findInColumn(2, QStringLiteral("091002")), QVector<int>{3});
    }

    void killedOfficeFailsCleanly()
    {
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("values.xls"));
        QVERIFY(QFile::copy(kFixtures + QStringLiteral("values.xls"), book));
        const auto calc = m_offices.start();
        QVERIFY(calc && calc->open(book, false));
        const QString documentLock = dir.filePath(QStringLiteral(".~lock.values.xls#"));
        QVERIFY(QFile::exists(documentLock));

        OfficeProcess::killGroup(calc->processId());
        QVERIFY(OfficeProcess::waitForEnd(calc->processId(), 10000));
        QVERIFY(!calc->activateSheet(1));
        QCOMPARE(calc->cell(2, 2), std::nullopt);
        QCOMPARE(calc->findInColumn(1, QStringLiteral("0123")), std::nullopt);
        QCOMPARE(calc->hasUnsavedChanges(), std::nullopt);
        QVERIFY(!calc->quit());
        // What the killed office could not remove itself is gone.
        QVERIFY(!QFile::exists(documentLock));
        QVERIFY(!QFile::exists(calc->profileFolder() + QStringLiteral("/.lock")));
        QVERIFY(!QFile::exists(tallyra::OfficeProfiles::temporaryFolder(calc->profileFolder())));
    }

    void fallsBackToTheEmbeddedReader_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<QString>("office");
        QTest::addColumn<QString>("failure");
        const QString plugin = CalcSpreadsheet::defaultOptions().pluginPath;
        QTest::newRow("no plugin") << "/nonexistent/libtallyra-calc.so" << QString() << "plugin";
        QTest::newRow("not a plugin") << TALLYRA_TEST_FIXTURES "/workbooks/values.xlsx" << QString() << "plugin";
        QTest::newRow("no office") << QString() << "/nonexistent/soffice" << "no office";
        QTest::newRow("office never answers") << QString() << "silent" << "did not answer";
        QTest::newRow("office ends at once") << QString() << "/bin/false" << "ended before answering";
    }

    void fallsBackToTheEmbeddedReader()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, office);
        QFETCH(QString, failure);
        QTemporaryDir scratch;
        const QString pidFile = scratch.filePath(QStringLiteral("pid"));
        CalcSpreadsheet::Options options = m_offices.options();
        if (!plugin.isEmpty())
            options.pluginPath = plugin;
        if (office == QLatin1String("silent")) {
            // Starts, never opens its pipe, and would run for ten minutes.
            office = scratch.filePath(QStringLiteral("soffice"));
            QFile script(office);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(QStringLiteral("#!/bin/sh\necho $$ > '%1'\nexec sleep 600\n").arg(pidFile).toUtf8());
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        if (!office.isEmpty())
            options.officePath = office;
        options.startTimeoutMs = 1500;
        CalcSpreadsheet::setOptions(options);

        // The office is waited for off the user-interface thread: timers (and
        // painting) go on meanwhile.
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(50);
        QVERIFY(!CalcSpreadsheet::start());
        ticker.stop();
        QVERIFY2(CalcSpreadsheet::lastStartFailure().contains(failure), qPrintable(CalcSpreadsheet::lastStartFailure()));
        if (failure == QLatin1String("did not answer"))
            QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        if (QFile::exists(pidFile)) {
            QFile f(pidFile);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(!OfficeProcess::isAlive(f.readAll().trimmed().toLongLong())); // nothing left behind
        }

        const auto fallback = tallyra::Spreadsheet::start();
        CalcSpreadsheet::setOptions(m_offices.options());
        QVERIFY(std::dynamic_pointer_cast<EmbeddedSpreadsheet>(fallback));
        QVERIFY(fallback->open(kFixtures + QStringLiteral("values.xlsx"), true));
        QCOMPARE(fallback->cell(3, 2)->textForm(), QStringLiteral("100"));
        fallback->quit();
    }
};

QTEST_MAIN(TestCalc)
#include "tst_calc.moc"
