// Reads a workbook with Tallyra's embedded reader and touches every cell's
// text form, as a transfer would. With --dump it prints the cells, a
// number with its format's class and code ("class Percent code 0.00%",
// a line break in the code as "\n"), which tallyra-compare-workbooks reads.
//   tallyra-read-workbook FILE [--dump]
#include "workbook/Workbook.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        return 2;
    const bool dump = args.contains(QStringLiteral("--dump"));
    tallyra::ReadFailure failure = tallyra::ReadFailure::None;
    const auto workbook = tallyra::WorkbookReader::read(args[1], &failure);
    QTextStream out(stdout);
    if (!workbook) {
        QTextStream(stderr) << tallyra::WorkbookReader::failureText(failure) << "\n";
        out << "cannot read\n";
        return 1;
    }
    static const char *classes[] = {"Plain", "Percent", "Date", "Time", "DateTime", "Boolean", "Text"};
    if (dump)
        out << "workbook dates1904 " << int(workbook->dates1904) << " formats " << workbook->formats.size() << "\n";
    qsizetype cells = 0;
    qsizetype characters = 0;
    for (const auto &sheet : workbook->sheets) {
        if (dump)
            out << "sheet " << sheet.name << " rows " << sheet.rowCount() << " columns " << sheet.columnCount << "\n";
        for (int r = 0; r < sheet.rowCount(); ++r) {
            for (int c = 0; c < sheet.columnCount; ++c) {
                const tallyra::CellValue *v = sheet.at(r, c);
                if (!v || v->isEmpty())
                    continue;
                ++cells;
                const QString text = v->textForm();
                characters += text.size();
                if (!dump)
                    continue;
                out << "  " << r + 1 << "," << c + 1 << " kind " << int(v->kind) << " [" << text << "]";
                if (v->isNumber()) {
                    const auto &format = workbook->formats[v->format < workbook->formats.size() ? v->format : 0];
                    out << " class " << classes[int(v->shownAs)] << " code "
                        << QString(format.code).replace(QLatin1Char('\n'), QLatin1String("\\n"));
                }
                out << "\n";
            }
        }
    }
    out << "sheets " << workbook->sheets.size() << " cells " << cells << " characters " << characters << "\n";
    return 0;
}
