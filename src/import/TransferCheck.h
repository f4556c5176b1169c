#pragma once

#include "import/GradeTransfer.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace tallyra::TransferCheck {

// How a transfer's columns fit the page: the students of the page whose
// field can take a score, those whose ID the ID column holds, those of them
// in several rows, and those with a number (in or out of range) in the
// score column.
struct Counts {
    int students = 0;
    int found = 0;
    int duplicates = 0;
    int withNumber = 0;
};
Counts count(const TransferPlan &plan);

// The question to ask before writing when fewer than half of the students
// are found, or fewer than half of those found have a number, naming why:
// IDs in several rows, or a score column that would empty the others'
// fields. Empty when the columns look right.
QString question(const Counts &counts, const QString &idLetter, const QString &scoreLetter);

// For each column, how many of the page's students it holds (blank IDs
// count for nobody), and how many of them only as numbers.
struct ColumnCount {
    int found = 0;
    int byNumber = 0;
};
QVector<ColumnCount> studentsPerColumn(const QStringList &pageIds, const QVector<QVector<CellValue>> &columns);

// "B 欄：38 位學生中找到 36 位", or that the column holds none of them;
// a column whose students are all found only as numbers says so.
QString hint(const QString &letter, const ColumnCount &count, int students);

} // namespace tallyra::TransferCheck
