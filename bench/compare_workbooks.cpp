// Reads every workbook of a folder with the embedded reader and with
// LibreOffice Calc (through the Calc plugin, without recalculating) and
// compares them sheet by sheet and cell by cell. Needs a display (xvfb-run).
//   tallyra-compare-workbooks DIR [--reader PROGRAM] [--rows N] [--columns N] [--examples N] [--show-calc]
// --show-calc prints Calc's cells of each file the embedded reader refuses.
// With --reader, the embedded side is PROGRAM's "FILE --dump" output
// (tallyra-read-workbook of another build) instead of this build's reader.
// Number cells are also compared by their format's class and, for plain
// numbers whose shown text the embedded reader knows, by that text (Calc's
// as Calc shows it, General included); counted apart from the values (not
// with --reader, whose dump has no formats). A shown difference between
// numbers whose doubles differ prints both in full.

#include "platform/calc/CalcSpreadsheet.h"
#include "workbook/Workbook.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

using namespace tallyra;

namespace {

QTextStream out(stdout);

struct Side {
    bool read = false;
    QString why; // when not read
    std::optional<Workbook> workbook;
};

Side readEmbedded(const QString &path)
{
    ReadFailure failure = ReadFailure::None;
    Side side;
    side.workbook = WorkbookReader::read(path, &failure);
    side.read = side.workbook.has_value();
    if (!side.read)
        side.why = WorkbookReader::failureText(failure);
    return side;
}

// The cells of another build's reader, from its --dump lines.
Side readWithProgram(const QString &program, const QString &path)
{
    Side side;
    QProcess process;
    process.start(program, {path, QStringLiteral("--dump")});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        side.why = QStringLiteral("no answer in 30 s");
        return side;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        side.why = process.exitStatus() != QProcess::NormalExit ? QStringLiteral("crashed") : QStringLiteral("refused");
        return side;
    }
    static const QRegularExpression sheetLine(QStringLiteral("^sheet (.*) rows \\d+ columns \\d+$"));
    static const QRegularExpression cellLine(QStringLiteral("^  (\\d+),(\\d+) kind (\\d) \\[(.*)$"));
    // A number's text never holds "]"; its format's class and code follow it.
    static const QRegularExpression numberLine(
        QStringLiteral("^  (\\d+),(\\d+) kind 1 \\[([^\\]]*)\\] class (\\w+) code (.*)$"));
    static const QStringList classes = {QStringLiteral("Plain"), QStringLiteral("Percent"), QStringLiteral("Date"),
                                        QStringLiteral("Time"), QStringLiteral("DateTime"), QStringLiteral("Boolean"),
                                        QStringLiteral("Text")};
    Workbook workbook;
    CellValue *last = nullptr;
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (const auto m = sheetLine.match(line); m.hasMatch()) {
            workbook.sheets.push_back({m.captured(1), {}, 0});
            last = nullptr;
        } else if (line.startsWith(QLatin1String("workbook dates1904 "))) {
            workbook.dates1904 = line.section(QLatin1Char(' '), 2, 2) == QLatin1String("1");
        } else if (const auto n = numberLine.match(line); n.hasMatch() && !workbook.sheets.empty()) {
            CellValue v = CellValue::ofNumber(n.captured(3).toDouble());
            v.shownAs = NumberClass(std::max<qsizetype>(0, classes.indexOf(n.captured(4))));
            const QString code = n.captured(5).replace(QLatin1String("\\n"), QLatin1String("\n"));
            const auto known = std::find_if(workbook.formats.begin(), workbook.formats.end(),
                                            [&](const NumberFormat &f) { return f.shownAs == v.shownAs && f.code == code; });
            v.format = quint16(known - workbook.formats.begin());
            if (known == workbook.formats.end() && workbook.formats.size() < 65536)
                workbook.formats.push_back({v.shownAs, code});
            workbook.sheets.back().set(n.captured(1).toInt() - 1, n.captured(2).toInt() - 1, v);
            last = nullptr;
        } else if (const auto c = cellLine.match(line); c.hasMatch() && !workbook.sheets.empty()) {
            CellValue v;
            v.kind = CellValue::Kind(c.captured(3).toInt());
            QString text = c.captured(4);
            const bool closed = text.endsWith(QLatin1Char(']')); // else it goes on over lines
            if (closed)
                text.chop(1);
            v.text = text;
            v.number = v.kind == CellValue::Kind::Boolean ? (text == QLatin1String("TRUE")) : text.toDouble();
            auto &sheet = workbook.sheets.back();
            sheet.set(c.captured(1).toInt() - 1, c.captured(2).toInt() - 1, v);
            last = closed ? nullptr : &sheet.rows[size_t(c.captured(1).toInt() - 1)][size_t(c.captured(2).toInt() - 1)];
        } else if (last) {
            // A text over several lines, up to the line that closes it.
            last->text += QLatin1Char('\n') + line;
            if (last->text.endsWith(QLatin1Char(']'))) {
                last->text.chop(1);
                last = nullptr;
            }
        }
    }
    side.read = true;
    side.workbook = std::move(workbook);
    return side;
}

QString address(int row, int column)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters + QString::number(row);
}

// Characters that print as nothing are shown by their code; long texts are cut.
QString printable(const QString &from)
{
    QString text;
    for (const QChar c : from) {
        if (c == u'\n')
            text += QLatin1String("\\n");
        else if (c.unicode() < 0x20 || c.isSurrogate() || c.unicode() == 0xFEFF || c.unicode() >= 0xFFF0
                 || c.category() == QChar::Other_Format)
            text += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            text += c;
    }
    if (text.size() > 40)
        text = text.left(40) + QStringLiteral("…");
    return QStringLiteral("[%1]").arg(text);
}

QString describe(const CellValue &v)
{
    static const char *kinds[] = {"empty", "number", "text", "boolean", "error"};
    return QStringLiteral("%1 %2").arg(QLatin1String(kinds[int(v.kind)]), printable(v.textForm()));
}

bool same(const CellValue &a, const CellValue &b) { return a.kind == b.kind && a.textForm() == b.textForm(); }

const char *className(NumberClass c)
{
    static const char *names[] = {"plain", "percent", "date", "time", "date-time", "boolean", "text"};
    return names[int(c)];
}

// Two numbers whose 15-digit text forms can agree while their doubles do
// not (a formula Calc worked out again): both in full.
QString valuesApart(const CellValue &embedded, const CellValue &calc)
{
    return QStringLiteral(" (values differ: embedded %1, Calc %2)")
        .arg(QString::number(embedded.number, 'g', 17), QString::number(calc.number, 'g', 17));
}

// How two numbers' formats compare, counted apart from their values.
struct FormatCount {
    qint64 numbers = 0, otherClass = 0, shown = 0, shownOtherwise = 0;
    QStringList examples;

    // `embedded` as its workbook shows it; `calc` as Calc gave it.
    void add(const QString &where, const CellValue &embedded, const CellValue &calc, int maxExamples)
    {
        if (!embedded.isNumber() || !calc.isNumber())
            return;
        ++numbers;
        if (embedded.shownAs != calc.shownAs) {
            ++otherClass;
            if (examples.size() < maxExamples)
                examples << QStringLiteral("%1 class: embedded %2, Calc %3 %4")
                                .arg(where, QLatin1String(className(embedded.shownAs)),
                                     QLatin1String(className(calc.shownAs)), printable(calc.shownText()));
            return;
        }
        // Only a plain number's shown text can be an ID or a score.
        if (!calc.isPlainNumber() || embedded.text.isEmpty())
            return;
        ++shown;
        if (embedded.text != calc.shownText()) {
            ++shownOtherwise;
            if (examples.size() < maxExamples)
                examples << QStringLiteral("%1 shown: embedded %2, Calc %3%4")
                                .arg(where, printable(embedded.text), printable(calc.shownText()),
                                     embedded.number == calc.number ? QString() : valuesApart(embedded, calc));
        }
    }
};

// A file Calc could not open as a workbook falls through to its text
// import: one sheet named after the file. (Calc names an Excel 2 sheet so
// too, but the embedded reader reads those.)
bool importedAsText(Spreadsheet &calc, const QString &path)
{
    return calc.sheetCount() == 1 && calc.sheetName(1) == QFileInfo(path).completeBaseName();
}

// What Calc shows of a file the embedded reader refuses, to see what it made of it.
void printCalcCells(Spreadsheet &calc, int maxRows, int maxColumns)
{
    QVector<int> columns;
    for (int c = 1; c <= maxColumns; ++c)
        columns << c;
    for (int s = 1; s <= calc.sheetCount().value_or(0); ++s) {
        out << "    sheet " << calc.sheetName(s).value_or(QString()) << "\n";
        const auto cells = calc.readColumns(s, columns);
        if (!cells)
            continue;
        for (int r = 0; r < maxRows; ++r)
            for (int c = 0; c < cells->size(); ++c)
                if (r < (*cells)[c].size() && !(*cells)[c][r].isEmpty())
                    out << "      " << address(r + 1, c + 1) << " " << describe((*cells)[c][r]) << "\n";
    }
}

struct Totals {
    int files = 0, bothRead = 0, equal = 0, differ = 0, embeddedOnlyRefused = 0, calcOnlyRefused = 0, bothRefused = 0,
        calcAsText = 0;
    qint64 cells = 0, differentCells = 0;
    FormatCount formats;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: tallyra-compare-workbooks DIR [--reader PROGRAM] [--rows N] [--columns N] [--examples N] [--show-calc]\n";
        return 2;
    }
    const auto option = [&](const char *name, const QString &fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i > 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const QString program = option("--reader", QString());
    const int maxRows = option("--rows", QStringLiteral("400")).toInt();
    const int maxColumns = option("--columns", QStringLiteral("40")).toInt();
    const int maxExamples = option("--examples", QStringLiteral("6")).toInt();
    const bool showCalc = args.contains(QLatin1String("--show-calc"));

    auto calcOptions = CalcSpreadsheet::defaultOptions();
    calcOptions.callTimeoutMs = 60000;
    calcOptions.startTimeoutMs = 90000; // a busy machine
    // A General number's text as Calc shows it, not the number's text form.
    calcOptions.generalText = true;
    CalcSpreadsheet::setOptions(calcOptions);

    QDir dir(args[1]);
    const QStringList files = dir.entryList({QStringLiteral("*.xls"), QStringLiteral("*.xlsx"), QStringLiteral("*.xlsm"),
                                             QStringLiteral("*.ods"), QStringLiteral("*.XLS"), QStringLiteral("*.XLSX")},
                                            QDir::Files, QDir::Name);
    Totals totals;
    std::shared_ptr<CalcSpreadsheet> calc;
    for (const QString &name : files) {
        const QString path = dir.filePath(name);
        ++totals.files;
        const Side ours = program.isEmpty() ? readEmbedded(path) : readWithProgram(program, path);

        // A refusal, or an office that died or did not answer in time on a
        // busy machine: a fresh office has a second try before Calc is said
        // to refuse the file.
        bool calcRead = false;
        for (int attempt = 0; attempt < 2 && !calcRead; ++attempt) {
            for (int start = 0; start < 3 && !calc; ++start)
                calc = CalcSpreadsheet::start();
            if (!calc) {
                out << name << ": Calc did not start: " << CalcSpreadsheet::lastStartFailure() << "\n";
                return 1;
            }
            calcRead = calc->open(path, true) && calc->sheetCount().value_or(0) > 0;
            if (!calcRead) {
                calc->quit();
                calc.reset();
            }
        }
        if (!ours.read || !calcRead) {
            if (!ours.read && !calcRead) {
                ++totals.bothRefused;
                out << name << ": refused by both (embedded: " << ours.why << ")\n";
            } else if (!ours.read && importedAsText(*calc, path)) {
                ++totals.calcAsText;
                out << name << ": refused by the embedded reader (" << ours.why
                    << "); Calc imported it only as text, one sheet named after the file\n";
                if (showCalc)
                    printCalcCells(*calc, maxRows, maxColumns);
            } else if (!ours.read) {
                ++totals.embeddedOnlyRefused;
                out << name << ": refused by the embedded reader only: " << ours.why << "\n";
                if (showCalc)
                    printCalcCells(*calc, maxRows, maxColumns);
            } else {
                ++totals.calcOnlyRefused;
                out << name << ": refused by Calc only\n";
            }
            out.flush();
            continue;
        }
        ++totals.bothRead;
        QStringList differences;
        qint64 cells = 0;
        qint64 different = 0;
        FormatCount formats;
        const Workbook &book = *ours.workbook;
        const int calcSheets = calc->sheetCount().value_or(0);
        if (calcSheets != int(book.sheets.size()))
            differences << QStringLiteral("sheets: embedded %1, Calc %2").arg(book.sheets.size()).arg(calcSheets);
        for (int s = 1; s <= std::min(calcSheets, int(book.sheets.size())); ++s) {
            const WorkbookSheet &sheet = book.sheets[size_t(s - 1)];
            const QString calcName = calc->sheetName(s).value_or(QString());
            if (calcName != sheet.name)
                differences << QStringLiteral("sheet %1 name: embedded \"%2\", Calc \"%3\"").arg(s).arg(sheet.name, calcName);
            // Every column within the bounds given, down to the last row either side holds.
            const int columns = maxColumns;
            // By position, as the transfer reads: activating a hidden sheet
            // leaves another one active.
            QVector<int> wanted;
            for (int c = 1; c <= columns; ++c)
                wanted << c;
            const auto calcColumns = calc->readColumns(s, wanted);
            if (!calcColumns) {
                differences << QStringLiteral("sheet %1: Calc did not give its cells").arg(s);
                continue;
            }
            int rows = sheet.rowCount();
            for (const auto &column : *calcColumns)
                rows = std::max(rows, int(column.size()));
            rows = std::min(rows, maxRows);
            for (int r = 1; r <= rows; ++r) {
                for (int c = 1; c <= columns; ++c) {
                    const CellValue *mine = sheet.at(r - 1, c - 1);
                    const auto &column = (*calcColumns)[c - 1];
                    const CellValue theirs = r <= column.size() ? column[r - 1] : CellValue();
                    const CellValue embedded = mine ? *mine : CellValue();
                    if (embedded.isEmpty() && theirs.isEmpty())
                        continue;
                    ++cells;
                    if (program.isEmpty())
                        formats.add(QStringLiteral("%1!%2").arg(sheet.name, address(r, c)), book.shown(embedded), theirs,
                                    maxExamples);
                    if (!same(embedded, theirs)) {
                        ++different;
                        if (differences.size() < maxExamples)
                            differences << QStringLiteral("%1!%2 embedded %3, Calc %4")
                                               .arg(sheet.name, address(r, c), describe(embedded), describe(theirs));
                    }
                }
            }
        }
        calc->closeActiveWorkbook();
        totals.cells += cells;
        totals.differentCells += different;
        if (differences.isEmpty()) {
            ++totals.equal;
            out << name << ": equal (" << book.sheets.size() << " sheets, " << cells << " cells)\n";
        } else {
            ++totals.differ;
            out << name << ": DIFFERENT (" << different << " of " << cells << " cells)\n";
            for (const QString &d : differences)
                out << "    " << d << "\n";
        }
        if (formats.otherClass > 0 || formats.shownOtherwise > 0) {
            out << "    formats: " << formats.otherClass << " of " << formats.numbers << " numbers in another class, "
                << formats.shownOtherwise << " of " << formats.shown << " plain numbers shown otherwise\n";
            for (const QString &e : formats.examples)
                out << "      " << e << "\n";
        }
        totals.formats.numbers += formats.numbers;
        totals.formats.otherClass += formats.otherClass;
        totals.formats.shown += formats.shown;
        totals.formats.shownOtherwise += formats.shownOtherwise;
        out.flush();
    }
    if (calc)
        calc->quit();
    out << "\nfiles " << totals.files << ", read by both " << totals.bothRead << " (equal " << totals.equal
        << ", different " << totals.differ << "), refused by the embedded reader only " << totals.embeddedOnlyRefused
        << " (and " << totals.calcAsText << " that Calc imported only as text), by Calc only "
        << totals.calcOnlyRefused << ", by both " << totals.bothRefused << "; cells compared "
        << totals.cells << ", different " << totals.differentCells << "\n";
    if (program.isEmpty())
        out << "numbers read by both " << totals.formats.numbers << ", in another class " << totals.formats.otherClass
            << "; plain numbers with a shown text from both " << totals.formats.shown << ", shown otherwise "
            << totals.formats.shownOtherwise << "\n";
    else
        out << "formats not compared: the --reader dump has none\n";
    return 0;
}
