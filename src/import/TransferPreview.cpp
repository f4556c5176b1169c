#include "import/TransferPreview.h"

namespace tallyra {

QString TransferPreview::summary() const
{
    return QStringLiteral("共 %1 位學生：填入 %2 位，清空 %3 位，不變 %4 位")
        .arg(rows.size())
        .arg(filled)
        .arg(emptied)
        .arg(unchanged);
}

TransferPreview TransferPreview::build(const TransferPlan &plan, const FormSnapshot &snapshot)
{
    TransferPreview preview;
    QHash<int, QString> newValues;
    for (const FieldWrite &w : plan.writes) {
        if (w.target == FieldWrite::Target::Value)
            newValues.insert(w.index, w.text);
    }
    for (const StudentResult &student : plan.students) {
        Row row;
        row.id = student.id;
        row.gradebook = student.cell.shownText();
        row.anomaly = student.outcome.anomaly.has_value();
        if (row.anomaly)
            row.outcome = ScoreRules::anomalyLine(*student.outcome.anomaly, student.id);
        else if (student.borderline)
            row.outcome = ScoreRules::borderlineNote(student.id, student.outcome.score);
        row.hasField = student.fieldIndex >= 0 && student.fieldIndex < snapshot.elements.size();
        if (row.hasField) {
            row.current = snapshot.elements[student.fieldIndex].value;
            row.written = newValues.value(student.fieldIndex, row.current);
            row.changes = row.written != row.current;
        }
        if (!row.changes)
            ++preview.unchanged;
        else if (row.written.isEmpty())
            ++preview.emptied;
        else
            ++preview.filled;
        preview.rows.push_back(std::move(row));
    }
    return preview;
}

} // namespace tallyra
