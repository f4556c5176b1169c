#pragma once

#include "platform/Spreadsheet.h"

#include <QSet>
#include <QStringList>

namespace tallyra {

// How the page's student IDs are found in an ID column. An ID matches a
// cell whose text form or shown text is the ID; failing that, an ID made
// only of digits matches a plain number cell holding the same whole number
// (091001 finds 91001 stored as a number), unless another ID of the page
// stands for that number too: then neither is found, never a guess.
class IdMatch {
public:
    explicit IdMatch(const QStringList &pageIds);

    struct Found {
        QVector<int> rows;
        bool byNumber = false; // found only as a number
    };
    // A blank ID names nobody: it would match a blank cell.
    Found find(const ColumnSearch &column, const QString &id) const;

private:
    QSet<qint64> m_shared; // numbers that two or more page IDs stand for
};

} // namespace tallyra
