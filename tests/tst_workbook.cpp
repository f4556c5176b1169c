#include "support/WorkbookFiles.h"

#include "platform/workbook/EmbeddedSpreadsheet.h"
#include "workbook/Workbook.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QtTest>

#include <charconv>
#include <cmath>
#include <cstring>

using tallyra::CellValue;
using tallyra::EmbeddedSpreadsheet;
using Kind = tallyra::CellValue::Kind;
namespace WorkbookReader = tallyra::WorkbookReader;
using tallyra::test::biffRecord;
using tallyra::test::writeCompoundFile;

Q_DECLARE_METATYPE(tallyra::CellValue::Kind)

namespace {

const QString kFixtures = QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks/");

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestWorkbook : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void cleanup()
    {
        for (const auto &instance : EmbeddedSpreadsheet::running())
            instance->quit();
    }

    void textForms_data()
    {
        QTest::addColumn<CellValue>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("half") << CellValue::ofNumber(77.5) << "77.5";
        QTest::newRow("whole") << CellValue::ofNumber(100) << "100";
        QTest::newRow("third") << CellValue::ofNumber(1.0 / 3) << "0.333333333333333";
        QTest::newRow("fifteen digits") << CellValue::ofNumber(0.1 + 0.2) << "0.3";
        QTest::newRow("negative") << CellValue::ofNumber(-5) << "-5";
        QTest::newRow("negative zero") << CellValue::ofNumber(-0.0) << "0";
        QTest::newRow("large") << CellValue::ofNumber(1e20) << "1E+20";
        QTest::newRow("text as stored") << CellValue::ofText(QStringLiteral(" 85 ")) << " 85 ";
        QTest::newRow("error code") << CellValue::ofError(QStringLiteral("#N/A")) << "#N/A";
        QTest::newRow("true") << CellValue::ofBoolean(true) << "TRUE";
        QTest::newRow("false") << CellValue::ofBoolean(false) << "FALSE";
        QTest::newRow("empty") << CellValue() << "";
    }

    void textForms()
    {
        QFETCH(CellValue, value);
        QFETCH(QString, text);
        QCOMPARE(value.textForm(), text);
    }

    // Numbers that need at most 15 digits take a quicker way to their text
    // form; every kind of number reads as 15 significant digits would.
    void textFormsAsFifteenDigits()
    {
        QRandomGenerator random(20);
        const auto reference = [](double number) {
            char buffer[32];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 15).ptr;
            return QString::fromLatin1(buffer, end - buffer).replace(u'e', u'E');
        };
        for (int i = 0; i < 200000; ++i) {
            double number = 0;
            switch (i % 4) {
            case 0: { // any bits
                const quint64 bits = random.generate64();
                std::memcpy(&number, &bits, sizeof number);
                break;
            }
            case 1: // a few decimals, as scores are
                number = double(qint64(random.bounded(2000001)) - 1000000) / std::pow(10.0, random.bounded(8));
                break;
            case 2: // any magnitude
                number = (random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-8, 20));
                break;
            default: // whole numbers near the edge of 15 digits
                number = std::trunc((random.generateDouble() - 0.5) * 4e15);
                break;
            }
            if (number == 0 || !std::isfinite(number))
                continue;
            QCOMPARE(CellValue::ofNumber(number).textForm(), reference(number));
        }
    }

    void sameCellsInEveryFormat_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("row");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("text");
        struct Expected {
            int row;
            Kind kind;
            const char *text;
        };
        const Expected cells[] = {
            {1, Kind::Text, "分數"},
            {2, Kind::Number, "77.5"},
            {3, Kind::Number, "100"},
            {4, Kind::Number, "0.333333333333333"},
            {5, Kind::Text, " 85 "},
            {6, Kind::Empty, ""},
            {7, Kind::Error, "#DIV/0!"},
            {8, Kind::Boolean, "TRUE"},
            {9, Kind::Number, "-5"},
            {10, Kind::Number, "58.5"},
            {11, Kind::Text, "缺考"},
            {12, Kind::Number, "1E+20"},
            {13, Kind::Number, "0.3"},
            {300, Kind::Number, "66"},
            {302, Kind::Empty, ""},
        };
        for (const char *file : {"values.xlsx", "values.xls", "values.ods"}) {
            for (const Expected &e : cells) {
                const Kind kind = e.kind;
                const QString text = QString::fromUtf8(e.text);
                QTest::addRow("%s row %d", file, e.row) << QString::fromLatin1(file) << e.row << kind << text;
            }
        }
    }

    void sameCellsInEveryFormat()
    {
        QFETCH(QString, file);
        QFETCH(int, row);
        QFETCH(Kind, kind);
        QFETCH(QString, text);
        const auto app = EmbeddedSpreadsheet::start();
        QVERIFY(app->open(kFixtures + file, true));
        QVERIFY(app->activateSheet(1));
        const auto value = app->cell(row, 2);
        QVERIFY(value);
        QCOMPARE(value->kind, kind);
        QCOMPARE(value->textForm(), text);
        QCOMPARE(app->cell(row, 1)->kind, row <= 13 || row == 300 ? Kind::Text : Kind::Empty);
    }

    void sheetNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << "values.xlsx";
        QTest::newRow("xls") << "values.xls";
        QTest::newRow("ods") << "values.ods";
    }

    void sheetNames()
    {
        QFETCH(QString, file);
        const auto app = EmbeddedSpreadsheet::start();
        QVERIFY(app->open(kFixtures + file, true));
        QCOMPARE(app->sheetCount(), 3);
        QCOMPARE(app->sheetName(1), QStringLiteral("成績 一"));
        QCOMPARE(app->sheetName(2), QStringLiteral("Sheet2"));
        QCOMPARE(app->sheetName(3), QStringLiteral("第三頁"));
        QCOMPARE(app->sheetName(4), std::nullopt);
        QVERIFY(app->activateSheet(2));
        QCOMPARE(app->cell(1, 1)->textForm(), QStringLiteral("second"));
        QVERIFY(!app->activateSheet(4));
    }

    void search_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<int>>("rows");
        for (const char *file : {"values.xlsx", "values.xls", "values.ods"}) {
            const QString f = QString::fromLatin1(file);
            QTest::addRow("%s: ID in two rows", file) << f << 1 << "0123" << QVector<int>{2, 301};
            QTest::addRow("%s: ID in row 300", file) << f << 1 << "9300" << QVector<int>{300};
            QTest::addRow("%s: blanks and letter case ignored", file) << f << 1 << " AB12 " << QVector<int>{11};
            QTest::addRow("%s: no part of a longer ID", file) << f << 1 << "012" << QVector<int>{};
            QTest::addRow("%s: leading zeros count", file) << f << 1 << "123" << QVector<int>{};
            QTest::addRow("%s: not found", file) << f << 1 << "5555" << QVector<int>{};
            QTest::addRow("%s: by text form of a number", file) << f << 2 << "77.5" << QVector<int>{2};
            QTest::addRow("%s: blanks around a cell's text", file) << f << 2 << "85" << QVector<int>{5};
        }
    }

    void search()
    {
        QFETCH(QString, file);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QVector<int>, rows);
        const auto app = EmbeddedSpreadsheet::start();
        QVERIFY(app->open(kFixtures + file, true));
        QVERIFY(app->activateSheet(1));
        QCOMPARE(app->findInColumn(column, text), rows);
    }

    void badFilesFailCleanly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray xlsx = readBytes(kFixtures + QStringLiteral("values.xlsx"));
        const QByteArray ods = readBytes(kFixtures + QStringLiteral("values.ods"));
        QTest::newRow("empty file") << "empty.xlsx" << QByteArray();
        QTest::newRow("text file") << "notes.xlsx" << QByteArray("座號,學號\r\n1,0123\r\n");
        QTest::newRow("truncated xlsx") << "cut.xlsx" << xlsx.left(xlsx.size() / 2);
        QTest::newRow("truncated ods") << "cut.ods" << ods.left(ods.size() / 3);
        QTest::newRow("zip header only") << "header.xlsx" << QByteArray("PK\x03\x04") + QByteArray(200, '\x01');
        QByteArray flipped = xlsx;
        for (qsizetype i = 200; i < flipped.size(); i += 97)
            flipped[i] = char(~flipped[i]);
        QTest::newRow("corrupt xlsx") << "corrupt.xlsx" << flipped;
        QTest::newRow("compound file header only") << "ole.xls" << QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(600, '\0');
    }

    void badFilesFailCleanly()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(name);
        QVERIFY(writeBytes(path, bytes));
        QVERIFY(!WorkbookReader::read(path));
        const auto app = EmbeddedSpreadsheet::start();
        QVERIFY(app->setVisible(true));
        QVERIFY(!app->open(path, true));
        QCOMPARE(app->sheetCount(), std::nullopt);
    }

    void missingFile() { QVERIFY(!WorkbookReader::read(m_dir.filePath(QStringLiteral("no-such.xlsx")))); }

    void encryptedWorkbooks()
    {
        // Encrypted OOXML: a compound file, not a zip, whatever the extension.
        const QString ooxml = m_dir.filePath(QStringLiteral("locked.xlsx"));
        QVERIFY(writeCompoundFile(ooxml, {{"EncryptionInfo", QByteArray(64, '\x04')},
                                          {"EncryptedPackage", QByteArray(4096, '\x5A')}}));
        QVERIFY(!WorkbookReader::read(ooxml));

        // BIFF8 with a FILEPASS record: the rest of the stream is scrambled.
        QByteArray stream = biffRecord(0x0809, QByteArray::fromHex("0006050000000000c1000000"));
        stream += biffRecord(0x002F, QByteArray::fromHex("0100") + QByteArray(52, '\x33'));
        stream += QByteArray(2048, '\x7E');
        stream += biffRecord(0x000A, {});
        const QString xls = m_dir.filePath(QStringLiteral("locked.xls"));
        QVERIFY(writeCompoundFile(xls, {{"Workbook", stream}}));
        QVERIFY(!WorkbookReader::read(xls));
    }

    void manySheets()
    {
        const QString path = m_dir.filePath(QStringLiteral("300-sheets.xlsx"));
        lxw_workbook *book = workbook_new(path.toLocal8Bit().constData());
        for (int i = 1; i <= 300; ++i) {
            lxw_worksheet *ws = workbook_add_worksheet(book, QStringLiteral("班級%1").arg(i).toUtf8().constData());
            worksheet_write_number(ws, 0, 0, i, nullptr);
        }
        QCOMPARE(workbook_close(book), LXW_NO_ERROR);
        const auto app = EmbeddedSpreadsheet::start();
        QVERIFY(app->open(path, true));
        QCOMPARE(app->sheetCount(), 300);
        QCOMPARE(app->sheetName(300), QStringLiteral("班級300"));
        QVERIFY(app->activateSheet(300));
        QCOMPARE(app->cell(1, 1)->textForm(), QStringLiteral("300"));
    }

    void quitEndsTheInstance()
    {
        const auto app = std::static_pointer_cast<EmbeddedSpreadsheet>(EmbeddedSpreadsheet::start());
        QVERIFY(app->setVisible(true));
        QVERIFY(app->open(kFixtures + QStringLiteral("values.xlsx"), false));
        QVERIFY(!app->isReadOnly());
        QVERIFY(app->closeActiveWorkbook());
        QCOMPARE(app->sheetCount(), std::nullopt);
        QVERIFY(app->quit());
        QVERIFY(!app->isRunning());
        QVERIFY(!app->open(kFixtures + QStringLiteral("values.xlsx"), true));
        QVERIFY(!app->quit());
        QVERIFY(EmbeddedSpreadsheet::running().empty());
    }
};

QTEST_MAIN(TestWorkbook)
#include "tst_workbook.moc"
