// The embedded reader against LibreOffice Calc on every committed workbook:
// the same sheets in the same order, and in each the same cells, kind and
// text form. Needs the Calc plugin and a display (xvfb-run).
#include "support/CalcSupport.h"

#include "workbook/Workbook.h"

#include <QDirIterator>
#include <QtTest>

using tallyra::CellValue;
namespace WorkbookReader = tallyra::WorkbookReader;

namespace {

const QString kWorkbooks = QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks");

QString address(int row, int column)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters + QString::number(row);
}

// Where Calc itself departs from the file, the file wins: in .xls Calc
// shows a stored TRUE or FALSE as the number 1 or 0.
bool agree(const QString &file, const CellValue &embedded, const CellValue &calc)
{
    if (embedded.kind == calc.kind && embedded.textForm() == calc.textForm())
        return true;
    return file.endsWith(QLatin1String(".xls")) && embedded.kind == CellValue::Kind::Boolean
           && calc.kind == CellValue::Kind::Number && calc.number == embedded.number;
}

} // namespace

class TestWorkbookCalc : public QObject {
    Q_OBJECT

    tallyra::test::CalcOffices m_offices;

private slots:
    void initTestCase() { QVERIFY2(m_offices.prepare(), qPrintable(m_offices.whyNot())); }
    void cleanup() { m_offices.endAll(); }

    void sameAsCalc_data()
    {
        QTest::addColumn<QString>("path");
        // Hostile files kept from fuzzing are read elsewhere (Calc may
        // open anything as text), and so are workbooks with a password.
        QDirIterator it(kWorkbooks, {QStringLiteral("*.xls"), QStringLiteral("*.xlsx"), QStringLiteral("*.xlsm"),
                                     QStringLiteral("*.ods")},
                        QDir::Files, QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.contains(QLatin1String("/regressions/")) && !path.contains(QLatin1String("/locked/")))
                files << path;
        }
        files.sort();
        for (const QString &path : files)
            QTest::newRow(qPrintable(QDir(kWorkbooks).relativeFilePath(path))) << path;
    }

    void sameAsCalc()
    {
        QFETCH(QString, path);
        tallyra::ReadFailure failure = tallyra::ReadFailure::None;
        const auto book = WorkbookReader::read(path, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));

        const auto calc = m_offices.start();
        QVERIFY2(calc, qPrintable(tallyra::CalcSpreadsheet::lastStartFailure()));
        QVERIFY(calc->open(path, true));
        QCOMPARE(calc->sheetCount(), int(book->sheets.size()));
        QStringList differences;
        for (int s = 1; s <= int(book->sheets.size()); ++s) {
            const auto &sheet = book->sheets[size_t(s - 1)];
            QCOMPARE(calc->sheetName(s).value_or(QString()), sheet.name);
            // By position, as a transfer reads: a hidden sheet cannot be activated.
            // The embedded sheet and a margin around it: nothing may be missing there.
            QVector<int> columns;
            for (int c = 1; c <= sheet.columnCount + 2; ++c)
                columns << c;
            const auto theirs = calc->readColumns(s, columns);
            QVERIFY(theirs);
            for (int r = 1; r <= sheet.rowCount() + 2; ++r) {
                for (int c = 1; c <= sheet.columnCount + 2; ++c) {
                    const CellValue *mine = sheet.at(r - 1, c - 1);
                    const CellValue embedded = mine ? *mine : CellValue();
                    const CellValue office = (*theirs)[c - 1].value(r - 1);
                    if (!agree(path, embedded, office))
                        differences << QStringLiteral("%1!%2: embedded %3 [%4], Calc %5 [%6]")
                                           .arg(sheet.name, address(r, c))
                                           .arg(int(embedded.kind))
                                           .arg(embedded.textForm())
                                           .arg(int(office.kind))
                                           .arg(office.textForm());
                }
            }
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences.mid(0, 10).join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestWorkbookCalc)
#include "tst_workbook_calc.moc"
