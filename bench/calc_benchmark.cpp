// What reading a 40-student gradebook costs through LibreOffice Calc against
// the embedded reader, measured in one run: start + open + the sheet + 40 ID
// searches + 40 score reads, and an office's start in a new profile folder
// (cold) against one it has used before (warm). Needs a display (xvfb-run).
//   tallyra-calc-benchmark [RUNS]

#include "platform/calc/CalcSpreadsheet.h"
#include "platform/workbook/EmbeddedSpreadsheet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace tallyra;

namespace {

const QString kBook = QStringLiteral(TALLYRA_DEMO_GRADEBOOKS "/示範成績冊.xlsx");
constexpr int kSheet = 2; // 三年二班數學: 40 students
constexpr int kIdColumn = 2;
constexpr int kScoreColumn = 5;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

QStringList studentIds()
{
    const auto app = EmbeddedSpreadsheet::start();
    QStringList ids;
    if (app->open(kBook, true) && app->activateSheet(kSheet)) {
        for (int row = 2; row <= 100; ++row) {
            const QString id = app->cell(row, kIdColumn).value_or(CellValue()).textForm();
            if (id.size() == 6)
                ids << id;
        }
    }
    app->quit();
    // The page's 40th student is missing from the gradebook (seat 20): searched, never found.
    ids << QStringLiteral("999999");
    return ids;
}

// Milliseconds from start to the last score read; negative on a failure.
double readGradebook(const std::function<std::shared_ptr<Spreadsheet>()> &start, const QStringList &ids,
                     double *startMs = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    const auto app = start();
    if (!app)
        return -1;
    if (startMs)
        *startMs = double(clock.nsecsElapsed()) / 1e6;
    bool ok = app->setVisible(true) && app->open(kBook, true) && app->activateSheet(kSheet);
    int found = 0;
    for (const QString &id : ids) {
        const auto rows = app->findInColumn(kIdColumn, id);
        if (rows && !rows->isEmpty() && app->cell(rows->front(), kScoreColumn))
            ++found;
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    ok = ok && found == ids.size() - 1;
    app->closeActiveWorkbook();
    app->quit();
    return ok ? ms : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QTextStream out(stdout);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;

    QTemporaryDir profiles;
    CalcSpreadsheet::Options options = CalcSpreadsheet::defaultOptions();
    options.pluginPath = QStringLiteral(TALLYRA_BIN_DIR "/libtallyra-calc.so");
    options.profileRoot = profiles.filePath(QStringLiteral("warm"));
    CalcSpreadsheet::setOptions(options);

    const QStringList ids = studentIds();
    if (ids.size() != 40) {
        out << "expected 40 students in the demo gradebook, found " << ids.size() << "\n";
        return 1;
    }

    std::vector<double> embedded, calc, warmStart, coldStart;
    for (int i = 0; i < runs; ++i) {
        embedded.push_back(readGradebook(&EmbeddedSpreadsheet::start, ids));

        double startMs = 0;
        const double total = readGradebook([] { return CalcSpreadsheet::start(); }, ids, &startMs);
        if (total < 0) {
            out << "Calc failed: " << CalcSpreadsheet::lastStartFailure() << "\n";
            return 1;
        }
        calc.push_back(total);
        if (i > 0) // the first run made the profile
            warmStart.push_back(startMs);
    }
    // A profile folder never used before for every cold start.
    for (int i = 0; i < runs; ++i) {
        options.profileRoot = profiles.filePath(QStringLiteral("cold-timed-%1").arg(i));
        CalcSpreadsheet::setOptions(options);
        QElapsedTimer clock;
        clock.start();
        const auto cold = CalcSpreadsheet::start();
        coldStart.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (cold)
            cold->quit();
    }

    out << "40-student gradebook (" << kBook.section(QLatin1Char('/'), -1) << "), start + open + sheet + 40 searches"
        << " + 40 reads, median of " << runs << ":\n";
    out << QStringLiteral("  embedded reader  %1 ms\n").arg(median(embedded), 0, 'f', 1);
    out << QStringLiteral("  Calc (warm)      %1 ms  (%2x the embedded reader; %3 ms after the start)\n")
               .arg(median(calc), 0, 'f', 1)
               .arg(median(calc) / median(embedded), 0, 'f', 1)
               .arg(median(calc) - median(warmStart), 0, 'f', 1);
    out << QStringLiteral("Calc start alone: cold %1 ms, warm %2 ms (cold %3x warm)\n")
               .arg(median(coldStart), 0, 'f', 0)
               .arg(median(warmStart), 0, 'f', 0)
               .arg(median(coldStart) / median(warmStart), 0, 'f', 1);
    return 0;
}
