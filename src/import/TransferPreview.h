#pragma once

#include "import/GradeTransfer.h"

#include <QString>
#include <QVector>

namespace tallyra {

// What a planned transfer will do to the page, one row per student in page
// order, before anything is written.
struct TransferPreview {
    struct Row {
        QString id;
        QString gradebook; // the score cell as the gradebook holds it; "" when not read
        QString written;   // what the field will hold
        QString current;   // what it holds now
        QString outcome;   // the report's line or note for the student, or ""
        bool changes = false;
        bool anomaly = false;
        bool hasField = true;
    };

    QVector<Row> rows;
    int filled = 0;    // given a score that differs from the page's
    int emptied = 0;   // emptied where the page held something
    int unchanged = 0; // left as the page holds it

    QString summary() const;

    static TransferPreview build(const TransferPlan &plan, const FormSnapshot &snapshot);
};

} // namespace tallyra
